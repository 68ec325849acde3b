#include "reports/device_type_words.h"

#include <array>

#include "text/cp932.h"

const std::string& DeviceTypeWords(std::int64_t value) {
  static const std::array<std::string, 10> words{
      Cp932("ＨＤＤ"),
      Cp932("テープ"),
      Cp932("プリンタ"),
      Cp932("プロセッサ"),
      Cp932("光メモリ（ライトワンス）"),
      Cp932("ＣＤ－ＲＯＭ"),
      Cp932("スキャナ"),
      Cp932("ＭＯ"),
      Cp932("メディアチェンジャ"),
      Cp932("通信装置"),
  };
  static const std::string unknown = Cp932("不明");
  static const std::string none;
  if (value >= 0 && value < static_cast<std::int64_t>(words.size())) return words[value];
  if (value == 31) return unknown;
  return none;
}
