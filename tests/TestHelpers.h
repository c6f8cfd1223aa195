// Small pieces the unit tests share: a plug-in configuration to build throw-away plug-ins from,
// snapshots of a plug-in's state, a per-test temporary directory and an editor context that
// records what the plug-in asks of it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "IEditorContext.h"
#include "Offline/IEffectOffline.h"

namespace umbra::test {

// A two-in, two-out effect with a handful of parameters; tests change what they need.
inline Config SmallConfig(int nParams = 2, int nPresets = 4, const char* channelIO = "2-2")
{
  Config config;
  config.nParams = nParams;
  config.nPresets = nPresets;
  config.channelIOStr = channelIO;
  config.pluginName = "Small";
  config.productName = "Small";
  config.mfrName = "Tests";
  config.vendorVersion = 0x010203;
  config.uniqueID = MakeFourCC("SmPl");
  config.mfrID = MakeFourCC("Test");
  config.plugHasUI = true;
  config.plugWidth = 300;
  config.plugHeight = 200;
  config.plugMinWidth = 100;
  config.plugMaxWidth = 600;
  config.plugMinHeight = 100;
  config.plugMaxHeight = 400;
  return config;
}

// A plug-in made of nothing but the offline framework and a configuration.
class SmallPlug : public IEffectOffline {
public:
  explicit SmallPlug(const Config& config) : IEffectOffline(config, InstanceInfo{}) {}
};

inline std::vector<uint8_t> StateBytes(const IEffectBase& plug)
{
  IByteChunk chunk;
  plug.SerializeState(chunk);
  return std::vector<uint8_t>(chunk.GetData(), chunk.GetData() + chunk.Size());
}

inline std::vector<std::string> PresetNames(const IEffectBase& plug)
{
  std::vector<std::string> names;
  for (int i = 0; i < plug.PresetCount(); ++i)
    names.emplace_back(plug.GetPresetName(i));
  return names;
}

inline std::vector<double> ParamValues(const IEffectBase& plug)
{
  std::vector<double> values;
  for (int i = 0; i < plug.NParams(); ++i)
    values.push_back(plug.GetParam(i)->Value());
  return values;
}

// A fresh directory per test, removed with everything in it when the test ends.
class TempDir {
public:
  TempDir()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "umbravox-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (char* made = mkdtemp(buffer.data()))
      mPath = made;
  }
  ~TempDir()
  {
    std::error_code ignored;
    if (!mPath.empty())
      std::filesystem::remove_all(mPath, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Valid() const { return !mPath.empty(); }
  const std::filesystem::path& Path() const { return mPath; }
  std::string File(const std::string& name) const { return (mPath / name).string(); }

private:
  std::filesystem::path mPath;
};

// Everything an editor context was asked to do. It outlives the context, so that a test can
// look at it after the editor has closed.
struct EditorLog {
  struct ParamValue {
    int paramIdx;
    double normalized;
  };
  struct ControlValue {
    int ctrlTag;
    double normalized;
  };
  struct ControlMsg {
    int ctrlTag;
    int msgTag;
    std::vector<uint8_t> data;
  };

  std::vector<ParamValue> paramValues;
  std::vector<ControlValue> controlValues;
  std::vector<ControlMsg> controlMsgs;
  std::vector<std::string> calls; // "resize 1500x1000@1", "open", "close", "destroyed", ...
  int contextsMade = 0;
  int contextsDestroyed = 0;
};

// Stands in for the UI layer's graphics context, which the core only knows through this
// interface.
class RecordingContext : public IEditorContext {
public:
  RecordingContext(std::shared_ptr<EditorLog> log, int width, int height, float scale = 1.f)
    : mLog(std::move(log)), mWidth(width), mHeight(height), mScale(scale)
  {
    ++mLog->contextsMade;
  }
  ~RecordingContext() override
  {
    ++mLog->contextsDestroyed;
    mLog->calls.push_back("destroyed");
  }

  void SetParamValueFromDelegate(int paramIdx, double normalized) override
  {
    mLog->paramValues.push_back({paramIdx, normalized});
  }
  void SetControlValueFromDelegate(int ctrlTag, double normalized) override
  {
    mLog->controlValues.push_back({ctrlTag, normalized});
  }
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override
  {
    const auto* bytes = static_cast<const uint8_t*>(data);
    mLog->controlMsgs.push_back(
      {ctrlTag, msgTag, bytes ? std::vector<uint8_t>(bytes, bytes + dataSize) : std::vector<uint8_t>{}});
  }

  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  float GetDrawScale() const override { return mScale; }
  void Resize(int width, int height, float scale) override
  {
    mWidth = width;
    mHeight = height;
    mScale = scale;
    mLog->calls.push_back("resize " + std::to_string(width) + "x" + std::to_string(height) + "@" +
                          std::to_string(scale));
  }
  void SetScreenScale(float scale) override
  {
    mLog->calls.push_back("screen scale " + std::to_string(scale));
  }
  void* OpenWindow(void* parent) override
  {
    mLog->calls.push_back("open");
    return parent ? parent : this;
  }
  void CloseWindow() override { mLog->calls.push_back("close"); }

private:
  std::shared_ptr<EditorLog> mLog;
  int mWidth;
  int mHeight;
  float mScale;
};

} // namespace umbra::test
