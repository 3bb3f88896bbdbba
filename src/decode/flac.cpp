// libFLAC is loaded when the first FLAC file is opened, as SDL is when a
// sound device is: every other run of the program starts without it (and
// the libraries it brings), and runs where it is not installed.
#include "decode/flac.hpp"

#include "format/failure.hpp"

#ifdef REELWRIGHT_FLAC
#include <FLAC/stream_decoder.h>
#include <dlfcn.h>

#include <type_traits>
#endif

namespace decode {

#ifdef REELWRIGHT_FLAC

namespace {

const char *const kLibraries[] = {
#ifdef __APPLE__
    "libFLAC.14.dylib", "libFLAC.12.dylib", "libFLAC.8.dylib", "libFLAC.dylib", "/opt/homebrew/lib/libFLAC.dylib",
    "/usr/local/lib/libFLAC.dylib",
#else
    "libFLAC.so.14", "libFLAC.so.12", "libFLAC.so.8", "libFLAC.so",
#endif
};

// The calls of libFLAC the reader makes, looked up once and kept: the
// library is never unloaded.
struct Flac {
  decltype(&FLAC__stream_decoder_new) decoder_new = nullptr;
  decltype(&FLAC__stream_decoder_delete) decoder_delete = nullptr;
  decltype(&FLAC__stream_decoder_init_file) init_file = nullptr;
  decltype(&FLAC__stream_decoder_process_until_end_of_metadata) process_metadata = nullptr;
  decltype(&FLAC__stream_decoder_process_single) process_single = nullptr;
  decltype(&FLAC__stream_decoder_get_state) get_state = nullptr;
};

// libFLAC, or what stopped it from loading.
const Flac &Library() {
  static const Flac flac = [] {
    Flac f;
    void *lib = nullptr;
    for (const char *name : kLibraries)
      if ((lib = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
    if (!lib) return f;
    auto get = [lib](auto &fn, const char *name) { fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name)); };
    get(f.decoder_new, "FLAC__stream_decoder_new"), get(f.decoder_delete, "FLAC__stream_decoder_delete");
    get(f.init_file, "FLAC__stream_decoder_init_file");
    get(f.process_metadata, "FLAC__stream_decoder_process_until_end_of_metadata");
    get(f.process_single, "FLAC__stream_decoder_process_single"), get(f.get_state, "FLAC__stream_decoder_get_state");
    if (!f.decoder_new || !f.decoder_delete || !f.init_file || !f.process_metadata || !f.process_single || !f.get_state)
      f.decoder_new = nullptr;
    return f;
  }();
  return flac;
}

}  // namespace

struct FlacReader::State {
  State(const State &) = delete;
  State &operator=(const State &) = delete;
  // The decoder goes with the state, also when the reader's constructor fails.
  explicit State(const Flac &f) : flac(f), d(f.decoder_new()) {}
  ~State() {
    if (d) flac.decoder_delete(d);
  }
  const Flac &flac;
  FLAC__StreamDecoder *d;
  int rate = 0, channels = 0, bits = 0;
  uint64_t frames = 0;
  std::vector<float> have[2];  // decoded, not yet read
  size_t at = 0;
  bool failed = false;

  static FLAC__StreamDecoderWriteStatus write(const FLAC__StreamDecoder *, const FLAC__Frame *f,
                                              const FLAC__int32 *const buffer[], void *me) {
    State &s = *static_cast<State *>(me);
    const float scale = 1.0f / static_cast<float>(1u << (f->header.bits_per_sample - 1));
    for (unsigned c = 0; c < 2 && c < f->header.channels; c++) {
      s.have[c].erase(s.have[c].begin(), s.have[c].begin() + static_cast<long>(s.at));
      for (unsigned i = 0; i < f->header.blocksize; i++) s.have[c].push_back(static_cast<float>(buffer[c][i]) * scale);
    }
    s.at = 0;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }
  static void metadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *m, void *me) {
    State &s = *static_cast<State *>(me);
    if (m->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    s.rate = static_cast<int>(m->data.stream_info.sample_rate), s.channels = static_cast<int>(m->data.stream_info.channels);
    s.bits = static_cast<int>(m->data.stream_info.bits_per_sample), s.frames = m->data.stream_info.total_samples;
  }
  static void error(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *me) {
    static_cast<State *>(me)->failed = true;
  }
};

FlacReader::FlacReader(const std::string &path) {
  const Flac &flac = Library();
  if (!flac.decoder_new)
    throw format::Failure("FLAC recordings need libFLAC, which cannot be loaded here: install it, or decode the file to WAV first!");
  s_ = std::make_unique<State>(flac);
  if (!s_->d || flac.init_file(s_->d, path.c_str(), State::write, State::metadata, State::error, s_.get()) !=
                    FLAC__STREAM_DECODER_INIT_STATUS_OK ||
      !flac.process_metadata(s_->d) || s_->rate == 0)
    throw format::Failure("The FLAC file cannot be read: its header is damaged!");
}

FlacReader::~FlacReader() = default;

size_t FlacReader::read(float *a, float *b, size_t n) {
  State &s = *s_;
  // A damaged or cut frame ends the recording there: what came before is kept.
  while (s.have[0].size() - s.at < n && !s.failed &&
         s.flac.get_state(s.d) != FLAC__STREAM_DECODER_END_OF_STREAM && s.flac.process_single(s.d)) {
  }
  const size_t k = std::min(n, s.have[0].size() - s.at);
  for (size_t i = 0; i < k; i++) {
    a[i] = s.have[0][s.at + i];
    if (b && s.channels > 1) b[i] = s.have[1][s.at + i];
  }
  s.at += k;
  return k;
}

#else

struct FlacReader::State {
  int rate = 0, channels = 0, bits = 0;
  uint64_t frames = 0;
};

FlacReader::FlacReader(const std::string &) {
  throw format::Failure("This build reads no FLAC recordings (it was made without libFLAC): decode it to WAV first!");
}
FlacReader::~FlacReader() = default;
size_t FlacReader::read(float *, float *, size_t) { return 0; }

#endif

int FlacReader::rate() const { return s_->rate; }
int FlacReader::channels() const { return s_->channels; }
int FlacReader::bits() const { return s_->bits; }
uint64_t FlacReader::frames() const { return s_->frames; }

}  // namespace decode
