#include "cp932.h"

#ifdef _WIN32
#include "reports/windows_cp932.h"
#else
#include <iconv.h>
#endif

namespace wnaspi32::sim {

#ifdef _WIN32
std::optional<std::string> Utf8ToCp932(std::string_view utf8) { return windows_cp932::FromUtf8(utf8); }
#else

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  iconv_t converter = iconv_open("CP932", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // Room to spare: a CP932 character takes at most as many bytes as its
  // UTF-8 form, and the converter may want a little more.
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &in, &inLeft, &to, &outLeft);
  const bool converted = result != static_cast<std::size_t>(-1) && inLeft == 0 &&
                         iconv(converter, nullptr, nullptr, &to, &outLeft) == 0;
  iconv_close(converter);
  if (!converted) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}
#endif

}  // namespace wnaspi32::sim
