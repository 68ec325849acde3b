#include "reports/cp932.h"

#include <stdexcept>

#ifdef _WIN32

#include "reports/windows_cp932.h"

std::string Cp932(std::string_view utf8) {
  auto bytes = windows_cp932::FromUtf8(utf8);
  if (!bytes) throw std::invalid_argument("text has no code page 932 form");
  return *std::move(bytes);
}

#else

#include <iconv.h>

#include <cerrno>

namespace {

// One conversion descriptor per call: conversions happen a handful of
// times per run, and a shared descriptor would need a lock.
class Converter {
 public:
  Converter() : descriptor_(iconv_open("CP932", "UTF-8")) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::invalid_argument("code page 932 conversion is not available");
    }
  }
  ~Converter() { iconv_close(descriptor_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::string Convert(std::string_view utf8) {
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    // Every character takes at most two bytes in code page 932, and at least
    // one in UTF-8, so the output cannot run out of room.
    if (iconv(descriptor_, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
        iconv(descriptor_, nullptr, nullptr, &to, &toLeft) == static_cast<std::size_t>(-1)) {
      const int error = errno;
      throw std::invalid_argument(
          std::string("text has no code page 932 form (") +
          (error == EILSEQ ? "unmappable or invalid character" : "incomplete character") +
          " at byte " + std::to_string(utf8.size() - inLeft) + ")");
    }
    out.resize(out.size() - toLeft);
    return out;
  }

 private:
  iconv_t descriptor_;
};

}  // namespace

std::string Cp932(std::string_view utf8) { return Converter().Convert(utf8); }

#endif
