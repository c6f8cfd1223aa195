#include "IEffectProcessor.h"

#include <algorithm>
#include <cstdio>

namespace umbra {

IEffectProcessor::IEffectProcessor(const Config& config)
  : mPlugType(config.plugType)
  , mDoesMIDIIn(config.plugDoesMidiIn)
  , mDoesMIDIOut(config.plugDoesMidiOut)
  , mDoesMPE(config.plugDoesMPE)
  , mLatency(config.latency)
{
  int maxNIns = 0, maxNOuts = 0, maxNInBuses = 0, maxNOutBuses = 0;
  ParseChannelIOStr(config.channelIOStr, mIOConfigs, maxNIns, maxNOuts, maxNInBuses,
                    maxNOutBuses);

  const int maxNChans[2] = {maxNIns, maxNOuts};
  for (int d = 0; d < 2; ++d)
  {
    mScratchData[d].assign(static_cast<size_t>(maxNChans[d]), nullptr);
    for (int c = 0; c < maxNChans[d]; ++c)
    {
      auto channel = std::make_unique<IChannelData>();
      channel->mData = &mScratchData[d][c];
      mChannelData[d].push_back(std::move(channel));
    }
  }
  mHostOutputs.assign(static_cast<size_t>(maxNOuts), nullptr);
  mBypassOutputs.assign(static_cast<size_t>(maxNOuts), nullptr);
}

IEffectProcessor::~IEffectProcessor() = default;

// ---------------------------------------------------------------------------------------------
// Channel configurations

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text)
  {
    if (c == separator)
    {
      if (!piece.empty())
        pieces.push_back(piece);
      piece.clear();
    }
    else
    {
      piece += c;
    }
  }
  if (!piece.empty())
    pieces.push_back(piece);
  return pieces;
}

void ParseBuses(const std::string& part, ERoute direction, IOConfig& config)
{
  for (const std::string& token : Split(part, '.'))
  {
    const int nChans = token == "*" ? kWildcardChannels : std::atoi(token.c_str());
    if (nChans != 0)
      config.AddBusInfo(direction, nChans);
  }
}

} // namespace

int IEffectProcessor::ParseChannelIOStr(const char* text,
                                        std::vector<std::unique_ptr<IOConfig>>& configs,
                                        int& maxNInChans, int& maxNOutChans, int& maxNInBuses,
                                        int& maxNOutBuses)
{
  maxNInChans = maxNOutChans = maxNInBuses = maxNOutBuses = 0;

  for (const std::string& piece : Split(text ? text : "", ' '))
  {
    auto config = std::make_unique<IOConfig>();
    const size_t dash = piece.find('-');
    ParseBuses(piece.substr(0, dash), kRouteInput, *config);
    if (dash != std::string::npos)
      ParseBuses(piece.substr(dash + 1), kRouteOutput, *config);

    maxNInChans = std::max(maxNInChans, config->GetTotalNChannels(kRouteInput));
    maxNOutChans = std::max(maxNOutChans, config->GetTotalNChannels(kRouteOutput));
    maxNInBuses = std::max(maxNInBuses, config->NBuses(kRouteInput));
    maxNOutBuses = std::max(maxNOutBuses, config->NBuses(kRouteOutput));
    configs.push_back(std::move(config));
  }
  return static_cast<int>(configs.size());
}

bool IEffectProcessor::LegalIO(int nIn, int nOut) const
{
  for (const auto& config : mIOConfigs)
  {
    const bool inMatches = nIn < 0 || config->GetTotalNChannels(kRouteInput) == nIn;
    const bool outMatches = nOut < 0 || config->GetTotalNChannels(kRouteOutput) == nOut;
    if (inMatches && outMatches)
      return true;
  }
  return false;
}

int IEffectProcessor::MaxNBuses(ERoute direction, int* configIdx) const
{
  int maxNBuses = 0;
  int maxIdx = 0;
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const int nBuses = mIOConfigs[i]->NBuses(direction);
    if (nBuses > maxNBuses)
    {
      maxNBuses = nBuses;
      maxIdx = i;
    }
  }
  if (configIdx)
    *configIdx = maxIdx;
  return maxNBuses;
}

int IEffectProcessor::MaxNChannelsForBus(ERoute direction, int busIdx) const
{
  if (mIOConfigs.empty())
    return 0;
  if (mIOConfigs[0]->ContainsWildcard(direction))
    return -1;

  int maxNChans = 0;
  for (const auto& config : mIOConfigs)
    if (const IBusDesc* bus = config->GetBusInfo(direction, busIdx))
      maxNChans = std::max(maxNChans, bus->mNChans);
  return maxNChans;
}

void IEffectProcessor::GetBusName(ERoute direction, int busIdx, int nBuses, std::string& name) const
{
  char text[32];
  if (direction == kRouteInput)
  {
    if (nBuses == 1)
      std::snprintf(text, sizeof(text), "Input");
    else if (nBuses == 2)
      std::snprintf(text, sizeof(text), "%s", busIdx == 0 ? "Main" : "Aux");
    else
      std::snprintf(text, sizeof(text), "Input %i", busIdx);
  }
  else
  {
    if (nBuses == 1)
      std::snprintf(text, sizeof(text), "Output");
    else
      std::snprintf(text, sizeof(text), "Output %i", busIdx);
  }
  name = text;
}

// ---------------------------------------------------------------------------------------------
// Channel connections and buffers

int IEffectProcessor::NChannelsConnected(ERoute direction) const
{
  return static_cast<int>(std::count_if(mChannelData[direction].begin(),
                                        mChannelData[direction].end(),
                                        [](const auto& channel) { return channel->mConnected; }));
}

bool IEffectProcessor::IsChannelConnected(ERoute direction, int chIdx) const
{
  return chIdx >= 0 && chIdx < MaxNChannels(direction) && mChannelData[direction][chIdx]->mConnected;
}

void IEffectProcessor::SetChannelConnections(ERoute direction, int idx, int n, bool connected)
{
  const int end = std::min(idx + n, MaxNChannels(direction));
  for (int i = std::max(idx, 0); i < end; ++i)
  {
    IChannelData& channel = *mChannelData[direction][i];
    channel.mConnected = connected;
    if (!connected)
    {
      // A disconnected input must read as silence, not as the last block it carried.
      std::fill(channel.mScratchBuf.begin(), channel.mScratchBuf.end(), 0.0);
      *channel.mData = channel.mScratchBuf.data();
    }
  }
}

void IEffectProcessor::AttachBuffers(ERoute direction, int idx, int n, float* const* buffers,
                                     int nFrames)
{
  nFrames = std::min(nFrames, mBlockSize);
  const int end = std::min(idx + n, MaxNChannels(direction));
  int hostIdx = 0;
  for (int i = std::max(idx, 0); i < end; ++i)
  {
    IChannelData& channel = *mChannelData[direction][i];
    if (!channel.mConnected)
      continue;
    float* hostBuffer = buffers[hostIdx++];
    double* scratch = channel.mScratchBuf.data();
    if (direction == kRouteInput)
    {
      for (int s = 0; s < nFrames; ++s)
        scratch[s] = hostBuffer[s];
    }
    else
    {
      channel.mIncomingData = hostBuffer;
    }
    *channel.mData = scratch;
  }
}

void IEffectProcessor::ConvertOutputsToHost(int nFrames)
{
  for (const auto& channel : mChannelData[kRouteOutput])
  {
    if (!channel->mConnected || !channel->mIncomingData)
      continue;
    const double* scratch = channel->mScratchBuf.data();
    float* host = channel->mIncomingData;
    for (int s = 0; s < nFrames; ++s)
      host[s] = static_cast<float>(scratch[s]);
  }
}

void IEffectProcessor::ProcessBuffers(int nFrames)
{
  nFrames = std::clamp(nFrames, 0, mBlockSize);
  ProcessBlock(mScratchData[kRouteInput].data(), mScratchData[kRouteOutput].data(), nFrames);
  ConvertOutputsToHost(nFrames);
}

void IEffectProcessor::PassThroughBuffers(int nFrames)
{
  nFrames = std::clamp(nFrames, 0, mBlockSize);
  double** inputs = mScratchData[kRouteInput].data();
  double** outputs = mScratchData[kRouteOutput].data();

  if (mLatency && mLatencyDelay)
  {
    mLatencyDelay->ProcessBlock(inputs, outputs, nFrames);
  }
  else
  {
    const int nIn = MaxNChannels(kRouteInput);
    for (int c = 0; c < MaxNChannels(kRouteOutput); ++c)
    {
      if (c < nIn)
        std::copy(inputs[c], inputs[c] + nFrames, outputs[c]);
      else
        std::fill(outputs[c], outputs[c] + nFrames, 0.0);
    }
  }
  ConvertOutputsToHost(nFrames);
}

bool IEffectProcessor::ProcessBuffersWithBypass(int nFrames)
{
  nFrames = std::clamp(nFrames, 0, mBlockSize);
  mBypassFade.SetTarget(GetBypassed());
  if (!mBlockSinceBypassSettled)
  {
    mBypassFade.Settle();
    mBlockSinceBypassSettled = true;
  }

  // Where the host wants the output; the bypass path goes to scratch first.
  int nChans = 0;
  for (auto& channel : mChannelData[kRouteOutput])
  {
    if (!channel->mConnected || !channel->mIncomingData)
      continue;
    mHostOutputs[nChans] = channel->mIncomingData;
    mBypassOutputs[nChans] = mBypassScratch.data() + static_cast<size_t>(nChans) * mBlockSize;
    channel->mIncomingData = mBypassOutputs[nChans];
    ++nChans;
  }
  PassThroughBuffers(nFrames);

  const bool bypassedThroughout = mBypassFade.IsBypassedThroughout();
  int c = 0;
  for (auto& channel : mChannelData[kRouteOutput])
  {
    if (channel->mConnected && channel->mIncomingData)
      channel->mIncomingData = bypassedThroughout ? mDiscardScratch.data() : mHostOutputs[c++];
  }
  ProcessBuffers(nFrames);

  c = 0;
  for (auto& channel : mChannelData[kRouteOutput])
  {
    if (channel->mConnected && channel->mIncomingData)
      channel->mIncomingData = mHostOutputs[c++];
  }
  if (bypassedThroughout)
  {
    for (c = 0; c < nChans; ++c)
      std::copy(mBypassOutputs[c], mBypassOutputs[c] + nFrames, mHostOutputs[c]);
  }
  else if (!mBypassFade.IsSettled())
  {
    mBypassFade.Mix(mHostOutputs.data(), mBypassOutputs.data(), nChans, nFrames);
  }
  return bypassedThroughout;
}

void IEffectProcessor::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  const int nIn = MaxNChannels(kRouteInput);
  for (int c = 0; c < MaxNChannels(kRouteOutput); ++c)
  {
    if (c < nIn)
      std::copy(inputs[c], inputs[c] + nFrames, outputs[c]);
    else
      std::fill(outputs[c], outputs[c] + nFrames, 0.0);
  }
}

bool IEffectProcessor::SendMidiMsgs(const std::vector<IMidiMsg>& msgs)
{
  bool sent = true;
  for (const IMidiMsg& msg : msgs)
    sent &= SendMidiMsg(msg);
  return sent;
}

void IEffectProcessor::ZeroScratchBuffers()
{
  for (auto& direction : mChannelData)
    for (auto& channel : direction)
      std::fill(channel->mScratchBuf.begin(), channel->mScratchBuf.end(), 0.0);
}

void IEffectProcessor::SetBlockSize(int blockSize)
{
  blockSize = std::max(blockSize, 0);
  if (blockSize == mBlockSize)
    return;
  const size_t nOut = static_cast<size_t>(MaxNChannels(kRouteOutput));
  mBypassScratch.assign(nOut * static_cast<size_t>(blockSize), 0.f);
  mDiscardScratch.assign(static_cast<size_t>(blockSize), 0.f);
  for (auto& direction : mChannelData)
  {
    for (auto& channel : direction)
    {
      channel->mScratchBuf.assign(static_cast<size_t>(blockSize), 0.0);
      // The buffer may have moved: a slot that pointed at it must follow.
      *channel->mData = channel->mScratchBuf.data();
    }
  }
  mBlockSize = blockSize;
}

// ---------------------------------------------------------------------------------------------
// Latency

void IEffectProcessor::InitLatencyDelay()
{
  mLatencyDelay = std::make_unique<NChanDelayLine<double>>(MaxNChannels(kRouteInput), MaxNChannels(kRouteOutput));
  mLatencyDelay->Reserve(std::max(kMaxReservedLatency, mLatency));
  mLatencyDelay->SetDelayTime(mLatency);
}

void IEffectProcessor::SetLatency(int samples)
{
  mLatency = std::max(samples, 0);
  if (mLatencyDelay)
    mLatencyDelay->SetDelayTime(mLatency);
}

int32_t IEffectProcessor::GetAUPluginType() const
{
  switch (mPlugType)
  {
    case kEffect: return mDoesMIDIIn ? MakeFourCC("aumf") : MakeFourCC("aufx");
    case kInstrument: return MakeFourCC("aumu");
    case kMIDIEffect: return MakeFourCC("aumi");
    case kGenerator: return MakeFourCC("augn");
    default: return MakeFourCC("aufx");
  }
}

} // namespace umbra
