#include "codecs/library_versions.h"

#include <fftw3.h>
#include <lame.h>
#include <mpg123.h>
#include <sndfile.h>
#include <soxr.h>
#include <vorbis/codec.h>
#include <zlib.h>

extern "C" {
#include <libavutil/avutil.h>
}

#include <string_view>

namespace {

// The part of a library's own version text from its first digit on
// ("libsndfile-1.2.0" gives "1.2.0", "fftw-3.3.10-sse2" gives "3.3.10-sse2").
std::string VersionIn(std::string_view text) {
  const size_t digit = text.find_first_of("0123456789");
  return digit == std::string_view::npos ? std::string(text) : std::string(text.substr(digit));
}

}  // namespace

std::vector<std::string> CoreLibraryVersions() {
  return {
      "libsndfile " + VersionIn(sf_version_string()),
      "libvorbis " + VersionIn(vorbis_version_string()),
      // mpg123 tells only the interface it was built against.
      "libmpg123 (API " + std::to_string(MPG123_API_VERSION) + ")",
      "soxr " + VersionIn(soxr_version()),
      "FFTW " + VersionIn(fftwf_version),
      "zlib " + std::string(zlibVersion()),
      "FFmpeg " + VersionIn(av_version_info()),
      "LAME " + VersionIn(get_lame_version()),
  };
}
