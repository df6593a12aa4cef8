// The wave-audio device model: fixed format 44,100 Hz, 16-bit, two channels.
// Devices hand buffers back to the core by posting messages (MM_WOM_DONE,
// MM_WIM_DATA, MM_WIM_CLOSE) whose wParam is the generation of the device run
// they belong to and whose lParam points at the WaveHeader. Open, Reset and
// Close post their notices under the current generation and then start a new
// one, so the core can tell (and ignore) notices of a run it has already ended:
// when Reset returns, every buffer it handed back is already marked done with its
// final byte count, and the caller takes them from there.
//
// Where capture sits on the playback timeline is the device's business. The
// timeline counts the frames the output took from queued buffers, from the first
// frame of the first output buffer written after the input's Start (frame 0):
// silence played because the queue ran dry is not on it (the song stalls). Every
// input buffer says where its first byte sits there, and its bytes are
// contiguous from that place: input that arrived while the output played frame
// t is at t. Input that is lost (no buffer was queued, the device or the server
// dropped it) leaves its place empty, so what follows keeps its own; a device
// that must break contiguity hands the buffer back early, partly filled, and
// starts the next one at the new place. An interruption the performer heard but
// the places do not show (an xrun, a queue run dry) is told on the buffer that
// follows it. What the device cannot place, the time sound spends outside the
// program (the output's and the input's converters and buffers, a sound server,
// the air), it reports as its round trip, and the core shifts takes by that (or
// by a measured value).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;
  uint32_t bytesRecorded = 0;  // input: bytes captured into data
  uint32_t done = 0;           // 1 once the device has handed the buffer back
  uint32_t queued = 0;         // 1 while the device holds the buffer
  // Input: the place of data[0] on the playback timeline, in frames.
  int64_t timelineFrame = 0;
  // Input: frames of an interruption just before data[0] that timelineFrame
  // does not show as a jump.
  uint32_t dropoutFrames = 0;
};

// Results: 0 success, non-zero a device error code.
constexpr int kWaveOk = 0;
constexpr int kWaveStillPlaying = 33;

// Which device of the sound system a wave device opens. Devices that take no
// choice (a JACK client is routed by the server's connections) keep the
// defaults, which offer none.
class DeviceChoice {
 public:
  virtual ~DeviceChoice() = default;
  // The devices by name, for the user to choose from; false when this device
  // takes no choice.
  virtual bool DeviceNames(std::vector<std::string>& names) {
    names.clear();
    return false;
  }
  // The device every later Open uses: one of the names, or empty for the
  // system's default.
  virtual void ChooseDevice(const std::string& name) { static_cast<void>(name); }
};

class WaveOutDevice : public DeviceChoice {
 public:
  virtual ~WaveOutDevice() = default;
  virtual int Open() = 0;
  virtual void Close() = 0;
  // Queues a buffer behind the others; a failed write hands back nothing.
  virtual int Write(WaveHeader& header) = 0;
  // Stops at once and hands back every queued buffer in order (marked done before
  // this returns; the messages follow). Starts a new generation.
  virtual int Reset() = 0;
  virtual uint32_t Generation() const = 0;
};

class WaveInDevice : public DeviceChoice {
 public:
  virtual ~WaveInDevice() = default;
  virtual int Open() = 0;
  virtual int AddBuffer(WaveHeader& header) = 0;
  virtual int Start() = 0;
  // Stops capture and hands back every queued buffer, partly filled ones with
  // their counts, in order. Starts a new generation.
  virtual int Reset() = 0;
  // After every buffer is back: posts MM_WIM_CLOSE behind the data messages.
  virtual int Close() = 0;
  virtual uint32_t Generation() const = 0;
  // Frames from a byte leaving the output to the sound played along with it
  // reaching this input, outside the program's own placement above; 0 when
  // the device cannot tell.
  virtual uint32_t RoundTripFrames() const = 0;
  // Names the path sound takes from the output to this input, as far as the
  // device can tell paths apart: its backend and what sets the round trip's
  // length (the devices at both ends, a server's period). A measured round
  // trip belongs to one path. A device that cannot tell has one path.
  virtual std::string PathKey() const { return "default"; }
  // False when the device knows nothing feeds this input (a JACK client whose
  // input ports have no connection), so what it captures is silence.
  virtual bool InputsConnected() const { return true; }
};

WaveOutDevice& waveOut();
WaveInDevice& waveIn();
void InstallWaveDevices(WaveOutDevice* out, WaveInDevice* in);
