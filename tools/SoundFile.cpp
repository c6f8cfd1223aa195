#include "SoundFile.h"

#include <sndfile.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <utility>

#include "Interrupts.h"
#include "OggPages.h"
#include "TemporaryFolder.h"

namespace umbra::sound {

namespace {

std::string Lowercase(std::string text)
{
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const char* const kWriteFailed = "the sound data could not be written";

bool Contains(const std::string& text, const char* part)
{
  return text.find(part) != std::string::npos;
}

// libsndfile's own messages ("Format not recognised.", "flac decoder lost sync.", "System error :
// No space left on device.") told in this program's words: what is wrong with the file, or the
// system's own reason.
std::string Reason(int code, const char* message, bool writing)
{
  const std::string text = message ? message : "";
  const size_t system = text.find("System error");
  if (code == SF_ERR_SYSTEM || system != std::string::npos)
  {
    const size_t colon = text.find(':', system == std::string::npos ? 0 : system);
    std::string reason = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    reason.erase(0, reason.find_first_not_of(' '));
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ' || reason.back() == '\n'))
      reason.pop_back();
    return reason.empty() ? "the system refused it" : reason;
  }
  if (writing)
    return kWriteFailed;
  const std::string lower = Lowercase(text);
  if (code == SF_ERR_UNRECOGNISED_FORMAT || Contains(lower, "not recognised") ||
      Contains(lower, "unknown format"))
    return "not a sound file in a format this program reads";
  if (code == SF_ERR_UNSUPPORTED_ENCODING || Contains(lower, "unsupported") ||
      Contains(lower, "not supported"))
    return "its sample encoding is not one this program reads";
  return "the sound data is damaged";
}

int FormatOf(Encoding encoding)
{
  int container = 0;
  switch (encoding.container)
  {
    // RF64 that libsndfile writes as plain WAV unless the file passes 4 GiB.
    case Container::kWav: container = SF_FORMAT_RF64; break;
    case Container::kFlac: container = SF_FORMAT_FLAC; break;
    case Container::kOgg: container = SF_FORMAT_OGG; break;
    case Container::kAiff: container = SF_FORMAT_AIFF; break;
  }
  switch (encoding.sample)
  {
    case Sample::kFloat: return container | SF_FORMAT_FLOAT;
    case Sample::kInt16: return container | SF_FORMAT_PCM_16;
    case Sample::kInt24: return container | SF_FORMAT_PCM_24;
    case Sample::kInt32: return container | SF_FORMAT_PCM_32;
    case Sample::kVorbis: return container | SF_FORMAT_VORBIS;
  }
  return 0;
}

const char* ContainerName(Container container)
{
  switch (container)
  {
    case Container::kWav: return "WAV";
    case Container::kFlac: return "FLAC";
    case Container::kOgg: return "Ogg Vorbis";
    case Container::kAiff: return "AIFF";
  }
  return "?";
}

// The largest block moved through the interleaving buffer at once, so that a caller's huge
// request does not become a huge allocation.
constexpr int kChunkFrames = 8192;

uint32_t LittleEndian32(const unsigned char* bytes)
{
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// The first bytes of the containers libsndfile reads: RIFF and RF64 WAV, Wave64, AIFF, CAF, AU,
// FLAC, Ogg, MP3.
bool LooksLikeSoundFile(const char* bytes, size_t length)
{
  if (length < 4)
    return false;
  const std::string id(bytes, 4);
  for (const char* magic : {"RIFF", "RIFX", "RF64", "riff", "FORM", "caff", ".snd", "dns.", "fLaC", "OggS", "ID3"})
    if (id.compare(0, std::strlen(magic), magic) == 0)
      return true;
  return static_cast<unsigned char>(bytes[0]) == 0xFF && (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
}

// The first bytes waiting in a pipe or socket, left there for whoever reads it next: up to
// length of them, fewer only when the writer has closed its end first. Waits for them.
size_t PeekStream(int fd, char* bytes, size_t length)
{
  int scratch[2] = {-1, -1};
  if (::pipe2(scratch, O_CLOEXEC) != 0)
    return 0;
  size_t have = 0;
  for (;;)
  {
    // tee copies what the pipe holds without taking it out.
    ssize_t n = ::tee(fd, scratch[1], length, 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EINVAL) // a socket
      n = ::recv(fd, bytes, length, MSG_PEEK | MSG_WAITALL);
    else if (n > 0)
      n = ::read(scratch[0], bytes, static_cast<size_t>(n));
    have = n > 0 ? static_cast<size_t>(n) : 0;
    if (have >= length || n <= 0)
      break;
    // Only part of it has arrived: wait for more. Once the writer has closed its end, what is
    // there is all there will be.
    struct pollfd wait {fd, POLLIN, 0};
    ::poll(&wait, 1, -1);
    if (wait.revents & (POLLHUP | POLLERR))
      break;
    ::usleep(1000);
  }
  ::close(scratch[0]);
  ::close(scratch[1]);
  return have;
}

// WAV and AIFF read front to back, so libsndfile takes them straight from a pipe, as they
// arrive; other formats (FLAC) it reads from a pipe only in part.
bool ReadsFromAPipe(const char* bytes, size_t length)
{
  if (length < 12)
    return false;
  const std::string id(bytes, 4);
  const std::string form(bytes + 8, 4);
  return ((id == "RIFF" || id == "RIFX" || id == "RF64") && form == "WAVE") ||
         (id == "FORM" && (form == "AIFF" || form == "AIFC"));
}

// A file in the temporary directory, unlinked at once, holding everything read from fd.
int CopyToUnnamedFile(int fd, const std::string& name)
{
  std::string pattern = cli::TemporaryFolder() + "/umbravox-input.XXXXXX";
  const int copy = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (copy < 0)
    throw SoundFileError("read", name, std::string("no room for a copy: ") + std::strerror(errno));
  ::unlink(pattern.c_str());
  std::vector<char> buffer(1 << 16);
  size_t total = 0;
  bool checked = false;
  for (;;)
  {
    const ssize_t n = ::read(fd, buffer.data() + (checked ? 0 : total), buffer.size() - (checked ? 0 : total));
    if (n < 0 && errno == EINTR)
      continue;
    const bool ended = n == 0;
    if (n < 0)
    {
      const int error = errno;
      ::close(copy);
      throw SoundFileError("read", name, std::strerror(error));
    }
    size_t have = static_cast<size_t>(n);
    if (!checked)
    {
      // Endless bytes that are no sound file (a pipe from /dev/zero) must not fill the disk.
      total += have;
      if (total < 4 && !ended)
        continue;
      if (!LooksLikeSoundFile(buffer.data(), total))
      {
        ::close(copy);
        throw SoundFileError("read", name, "not a sound file in a format this program reads");
      }
      checked = true;
      have = total;
    }
    if (have > 0 && ::write(copy, buffer.data(), have) != static_cast<ssize_t>(have))
    {
      const int error = errno;
      ::close(copy);
      throw SoundFileError("copy", name, std::strerror(error));
    }
    if (ended)
      break;
  }
  ::lseek(copy, 0, SEEK_SET);
  return copy;
}

// libmpg123, inside libsndfile, prints a line on stderr for every damaged MP3 frame, hundreds
// for one bad file, before this program can say anything. While a decoder runs, stderr leads to
// /dev/null; what is wrong is told afterwards in one line of our own. An interruption meanwhile
// still reaches the real stderr.
class MuffledStderr {
public:
  MuffledStderr()
  {
    static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    static const int realStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (devNull < 0 || realStderr < 0)
      return;
    mRealStderr = realStderr;
    cli::SetMessageDescriptor(mRealStderr);
    ::dup2(devNull, STDERR_FILENO);
  }
  ~MuffledStderr()
  {
    if (mRealStderr < 0)
      return;
    ::dup2(mRealStderr, STDERR_FILENO);
    cli::SetMessageDescriptor(STDERR_FILENO);
  }
  MuffledStderr(const MuffledStderr&) = delete;
  MuffledStderr& operator=(const MuffledStderr&) = delete;

private:
  int mRealStderr = -1;
};

} // namespace

std::optional<Container> ContainerByName(const std::string& name)
{
  const std::string lower = Lowercase(name);
  if (lower == "wav")
    return Container::kWav;
  if (lower == "flac")
    return Container::kFlac;
  if (lower == "ogg")
    return Container::kOgg;
  if (lower == "aif" || lower == "aiff")
    return Container::kAiff;
  return std::nullopt;
}

std::optional<Container> ContainerForPath(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return std::nullopt;
  return ContainerByName(path.substr(dot + 1));
}

Encoding DefaultEncoding(Container container)
{
  switch (container)
  {
    case Container::kWav: return Encoding::kWavFloat;
    case Container::kFlac: return Encoding::kFlac24;
    case Container::kOgg: return Encoding::kOggVorbis;
    case Container::kAiff: return Encoding::kAiff24;
  }
  return Encoding::kWavFloat;
}

std::optional<Encoding> EncodingForPath(const std::string& path)
{
  const std::optional<Container> container = ContainerForPath(path);
  if (!container)
    return std::nullopt;
  return DefaultEncoding(*container);
}

Encoding EncodingWithBits(Container container, const std::string& bits)
{
  const std::string lower = Lowercase(bits);
  const char* takes = nullptr;
  switch (container)
  {
    case Container::kWav: takes = "16, 24, 32 or float"; break;
    case Container::kFlac: takes = "16 or 24"; break;
    case Container::kAiff: takes = "16, 24 or 32"; break;
    case Container::kOgg: takes = nullptr; break;
  }
  if (!takes)
    throw std::invalid_argument("Ogg Vorbis has no bit depth to choose");
  Sample sample = Sample::kFloat;
  if (lower == "16")
    sample = Sample::kInt16;
  else if (lower == "24")
    sample = Sample::kInt24;
  else if (lower == "32" && container != Container::kFlac)
    sample = Sample::kInt32;
  else if (!(lower == "float" && container == Container::kWav))
    throw std::invalid_argument(std::string(ContainerName(container)) + " takes --bits " + takes +
                                ", not '" + bits + "'");
  return {container, sample};
}

bool IsFixedPoint(Encoding encoding)
{
  return encoding.sample == Sample::kInt16 || encoding.sample == Sample::kInt24 ||
         encoding.sample == Sample::kInt32;
}

int WholeNumberBits(Encoding encoding)
{
  switch (encoding.sample)
  {
    case Sample::kInt16: return 16;
    case Sample::kInt24: return 24;
    case Sample::kInt32: return 32;
    default: return 0;
  }
}

bool MayClipWhenPlayed(Encoding encoding)
{
  return encoding.sample == Sample::kVorbis;
}

bool NeedsSeekableFile(Encoding)
{
  // WAV and AIFF are finished by rewriting the header, FLAC by rewriting its stream info (on a
  // pipe, libsndfile leaves it without length and appends stray bytes), Ogg by giving its pages
  // a fixed serial number.
  return true;
}

std::string EncodingName(Encoding encoding)
{
  switch (encoding.sample)
  {
    case Sample::kFloat: return std::string("32-bit float ") + ContainerName(encoding.container);
    case Sample::kInt16: return std::string("16-bit ") + ContainerName(encoding.container);
    case Sample::kInt24: return std::string("24-bit ") + ContainerName(encoding.container);
    case Sample::kInt32: return std::string("32-bit ") + ContainerName(encoding.container);
    case Sample::kVorbis: return ContainerName(encoding.container);
  }
  return "?";
}

SoundFile::SoundFile(sf_private_tag* file, std::string path, int nChannels, int sampleRate,
                     int64_t frames)
  : mFile(file), mPath(std::move(path)), mChannels(nChannels), mSampleRate(sampleRate), mFrames(frames)
{
}

SoundFile SoundFile::OpenForReading(const std::string& path)
{
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : path;
  SF_INFO info {};
  SNDFILE* file = nullptr;
  int fd = STDIN_FILENO;
  if (!standardInput)
  {
    // libsndfile reports a missing file or a directory less plainly than the system does.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
      throw SoundFileError("read", name, std::strerror(errno));
    if (S_ISDIR(status.st_mode))
      throw SoundFileError("read", name, "it is a directory");
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
      throw SoundFileError("read", name, std::strerror(errno));
  }
  // libsndfile reads some formats (FLAC) from a pipe only in part; a copy it can seek in reads
  // like any file. The copy has no name, so nothing is left behind. WAV and AIFF are read as
  // they arrive instead, so a render in a pipeline starts with its input.
  struct stat status {};
  char start[12];
  if (::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) &&
      !ReadsFromAPipe(start, PeekStream(fd, start, sizeof(start))))
  {
    const int copy = CopyToUnnamedFile(fd, name);
    if (fd != STDIN_FILENO)
      ::close(fd);
    fd = copy;
  }
  {
    const MuffledStderr muffled;
    file = sf_open_fd(fd, SFM_READ, &info, fd == STDIN_FILENO ? SF_FALSE : SF_TRUE);
  }
  if (!file && fd != STDIN_FILENO)
    ::close(fd);
  if (!file)
    throw SoundFileError("read", name, Reason(sf_error(nullptr), sf_strerror(nullptr), false));
  if (info.channels < 1 || info.samplerate < 1)
  {
    sf_close(file);
    throw SoundFileError("read", name, "no audio in it");
  }
  if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate)
  {
    sf_close(file);
    throw SoundFileError("read", name,
                         "its sample rate of " + std::to_string(info.samplerate) +
                           " Hz is outside the " + std::to_string(kMinSampleRate) + " to " +
                           std::to_string(kMaxSampleRate) + " Hz the plug-in runs at");
  }
  // A stream tells no length (libsndfile says "as many as there can be").
  const int64_t frames = info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
  SoundFile opened(file, name, info.channels, info.samplerate, frames);

  // A header that promises more data than the file holds: libsndfile reads what is there. A
  // streamed WAV's open-ended size (0xFFFFFFFF) promises nothing.
  char log[4096] = {};
  sf_command(file, SFC_GET_LOG_INFO, log, sizeof(log));
  for (const char* line = std::strstr(log, "data "); line; line = std::strstr(line + 1, "data "))
  {
    const char* end = std::strchr(line, '\n');
    const std::string text(line, end ? end : line + std::strlen(line));
    if (text.find("4294967295") != std::string::npos)
      opened.mFrames = -1; // as long as the stream goes on
    else if (text.find("should be") != std::string::npos)
      opened.mCutShort = true;
  }
  return opened;
}

SoundFile SoundFile::Create(int fd, const std::string& name, Encoding encoding, int nChannels,
                            int sampleRate, bool dither16)
{
  SF_INFO info {};
  info.channels = nChannels;
  info.samplerate = sampleRate;
  info.format = FormatOf(encoding);
  if (!sf_format_check(&info))
    throw SoundFileError("write", name,
                         EncodingName(encoding) + " cannot hold " + std::to_string(nChannels) +
                           " channels at " + std::to_string(sampleRate) + " Hz");
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
  if (!file)
    throw SoundFileError("write", name, Reason(sf_error(nullptr), sf_strerror(nullptr), true));
  if (encoding.container == Container::kWav)
    sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  SoundFile created(file, name, nChannels, sampleRate, 0);
  // libsndfile's own conversion truncates some formats (half a step low on average) and has no
  // dither.
  if (const int bits = WholeNumberBits(encoding))
    created.mQuantiser.emplace(bits, dither16 && bits == 16);
  created.mFd = fd;
  created.mWav = encoding.container == Container::kWav;
  created.mOgg = encoding.container == Container::kOgg;
  return created;
}

SoundFile SoundFile::CreateWavStream(int fd, const std::string& name, Encoding encoding, int nChannels,
                                     int sampleRate, bool dither16)
{
  if (encoding.container != Container::kWav)
    throw SoundFileError("write", name, "only a WAV is written as it is made");
  SoundFile created(nullptr, name, nChannels, sampleRate, 0);
  created.mStream = std::make_unique<WavStream>(fd, name, nChannels, sampleRate, WholeNumberBits(encoding), dither16);
  return created;
}

SoundFile::SoundFile(SoundFile&& other) noexcept
  : mFile(std::exchange(other.mFile, nullptr))
  , mPath(std::move(other.mPath))
  , mChannels(other.mChannels)
  , mSampleRate(other.mSampleRate)
  , mFrames(other.mFrames)
  , mFd(other.mFd)
  , mWav(other.mWav)
  , mOgg(other.mOgg)
  , mWroteRf64(other.mWroteRf64)
  , mCutShort(other.mCutShort)
  , mFramesRead(other.mFramesRead)
  , mInterleaved(std::move(other.mInterleaved))
  , mQuantiser(std::move(other.mQuantiser))
  , mWholeNumbers(std::move(other.mWholeNumbers))
  , mStream(std::move(other.mStream))
{
}

SoundFile& SoundFile::operator=(SoundFile&& other) noexcept
{
  if (this != &other)
  {
    if (mFile)
      sf_close(mFile);
    mFile = std::exchange(other.mFile, nullptr);
    mPath = std::move(other.mPath);
    mChannels = other.mChannels;
    mSampleRate = other.mSampleRate;
    mFrames = other.mFrames;
    mFd = other.mFd;
    mWav = other.mWav;
    mOgg = other.mOgg;
    mWroteRf64 = other.mWroteRf64;
    mCutShort = other.mCutShort;
    mFramesRead = other.mFramesRead;
    mInterleaved = std::move(other.mInterleaved);
    mQuantiser = std::move(other.mQuantiser);
    mWholeNumbers = std::move(other.mWholeNumbers);
    mStream = std::move(other.mStream);
  }
  return *this;
}

SoundFile::~SoundFile()
{
  if (mFile)
    sf_close(mFile);
}

void SoundFile::Fail(const std::string& action) const
{
  // Some of libsndfile's encoders say only that writing failed; the system's errno says why.
  const int systemError = errno;
  if (systemError == EPIPE)
    cli::ExitForClosedPipe();
  std::string reason = Reason(sf_error(mFile), sf_strerror(mFile), action == "write");
  if (action == "write" && reason == kWriteFailed && systemError != 0)
    reason = std::strerror(systemError);
  throw SoundFileError(action, mPath, reason);
}

int SoundFile::Read(float* const* channels, int nFrames)
{
  if (!mFile)
    throw SoundFileError("read", mPath, "the file is closed");
  int done = 0;
  while (done < nFrames)
  {
    const int want = std::min(nFrames - done, kChunkFrames);
    mInterleaved.resize(static_cast<size_t>(want) * static_cast<size_t>(mChannels));
    sf_count_t got = 0;
    {
      const MuffledStderr muffled;
      got = sf_readf_float(mFile, mInterleaved.data(), want);
    }
    if (got <= 0)
    {
      if (sf_error(mFile) != SF_ERR_NO_ERROR)
      {
        // Damage after some audio ends the input there, as a cut-short file does; damage from
        // the start leaves nothing to play.
        if (mFramesRead + done == 0)
          Fail("read");
        mCutShort = true;
      }
      break;
    }
    for (sf_count_t s = 0; s < got; ++s)
      for (int c = 0; c < mChannels; ++c)
        channels[c][done + s] = mInterleaved[static_cast<size_t>(s * mChannels + c)];
    done += static_cast<int>(got);
    if (got < want)
      break;
  }
  mFramesRead += done;
  return done;
}

void SoundFile::Write(const float* const* channels, int nFrames)
{
  if (!mFile && !mStream)
    throw SoundFileError("write", mPath, "the file is closed");
  for (int done = 0; done < nFrames;)
  {
    const int n = std::min(nFrames - done, kChunkFrames);
    mInterleaved.resize(static_cast<size_t>(n) * static_cast<size_t>(mChannels));
    for (int s = 0; s < n; ++s)
      for (int c = 0; c < mChannels; ++c)
        mInterleaved[static_cast<size_t>(s * mChannels + c)] = channels[c][done + s];
    errno = 0;
    sf_count_t written = 0;
    if (mStream)
    {
      mStream->Write(mInterleaved.data(), n);
      written = n;
    }
    else if (mQuantiser)
    {
      mWholeNumbers.resize(mInterleaved.size());
      std::transform(mInterleaved.begin(), mInterleaved.end(), mWholeNumbers.begin(), std::ref(*mQuantiser));
      written = sf_writef_int(mFile, mWholeNumbers.data(), n);
    }
    else
      written = sf_writef_float(mFile, mInterleaved.data(), n);
    if (written != n)
      Fail("write");
    done += n;
    mFrames += n;
  }
}

void SoundFile::Close()
{
  // A stream has nothing to go back and finish.
  mStream.reset();
  if (!mFile)
    return;
  SNDFILE* file = std::exchange(mFile, nullptr);
  // sf_close's own status says only that something failed; the file's error, or the system's
  // errno, holds the reason.
  const int pending = sf_error(file);
  std::string reason = Reason(pending, sf_strerror(file), true);
  errno = 0;
  const bool closed = sf_close(file) == 0;
  const int systemError = errno;
  if (!closed || pending != SF_ERR_NO_ERROR)
  {
    if (systemError == EPIPE)
      cli::ExitForClosedPipe();
    if (reason == kWriteFailed && systemError != 0)
      reason = std::strerror(systemError);
    throw SoundFileError("write", mPath, reason);
  }
  // Any fixed number will do: "UmVx". A file opened for writing only cannot be read back and
  // keeps libsndfile's serial.
  if (mOgg)
    StampOggSerial(mFd, 0x556D5678u);
  if (mWav)
  {
    // A descriptor opened for writing only cannot be read back: the header then stays as
    // libsndfile wrote it, and its size tells the container.
    const std::string container = FinishWavHeader(mFd);
    mWroteRf64 = container.empty() ? mFrames * mChannels * 8 >= 0xFFFFFFFFll : container == "RF64";
  }
}

std::string FinishWavHeader(int fd)
{
  // The chunks before the audio: RIFF or RF64, WAVE, then JUNK or ds64, fmt, fact, PEAK, data.
  unsigned char header[512];
  const ssize_t n = ::pread(fd, header, sizeof(header), 0);
  if (n < 12)
    return "";
  const std::string container(reinterpret_cast<const char*>(header), 4);
  for (size_t at = 12; at + 8 <= static_cast<size_t>(n);)
  {
    const std::string id(reinterpret_cast<const char*>(header + at), 4);
    const uint32_t size = LittleEndian32(header + at + 4);
    if (id == "data")
      break;
    if (id == "PEAK" && at + 8 + size <= static_cast<size_t>(n))
    {
      std::memcpy(header + at, "JUNK", 4);
      std::memset(header + at + 8, 0, size);
      if (::pwrite(fd, header + at, 8 + size, static_cast<off_t>(at)) != static_cast<ssize_t>(8 + size))
        return "";
      break;
    }
    at += 8 + size + (size & 1);
  }
  return container;
}

SoundData ReadSoundFile(const std::string& path)
{
  SoundFile file = SoundFile::OpenForReading(path);
  SoundData data;
  data.sampleRate = file.SampleRate();
  data.channels.assign(static_cast<size_t>(file.Channels()), {});

  std::vector<std::vector<float>> block(data.channels.size(), std::vector<float>(kChunkFrames));
  std::vector<float*> pointers;
  for (auto& channel : block)
    pointers.push_back(channel.data());
  for (;;)
  {
    const int n = file.Read(pointers.data(), kChunkFrames);
    if (n == 0)
      break;
    for (size_t c = 0; c < block.size(); ++c)
      data.channels[c].insert(data.channels[c].end(), block[c].begin(), block[c].begin() + n);
  }
  return data;
}

void WriteSoundFile(int fd, const std::string& name, Encoding encoding, const SoundData& data)
{
  SoundFile file = SoundFile::Create(fd, name, encoding, static_cast<int>(data.channels.size()),
                                     data.sampleRate);
  std::vector<const float*> pointers;
  for (const auto& channel : data.channels)
    pointers.push_back(channel.data());
  for (int64_t done = 0; done < data.Frames();)
  {
    const int n = static_cast<int>(std::min<int64_t>(data.Frames() - done, kChunkFrames));
    file.Write(pointers.data(), n);
    for (auto& pointer : pointers)
      pointer += n;
    done += n;
  }
  file.Close();
}

void WriteSoundFile(const std::string& path, Encoding encoding, const SoundData& data)
{
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    throw SoundFileError("write", path, std::strerror(errno));
  try
  {
    WriteSoundFile(fd, path, encoding, data);
  }
  catch (...)
  {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0)
    throw SoundFileError("write", path, std::strerror(errno));
}

} // namespace umbra::sound
