#include "ui/cp932_text.h"

#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>

namespace {

// One conversion descriptor per direction, made on first use. The program
// has one user-interface thread, the only caller.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `input` or nothing.
  std::optional<std::string> Convert(std::string_view input) const {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPos = out;
    std::size_t outLeft = sizeof out;
    if (iconv(cd_, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0) {
      return std::nullopt;
    }
    return std::string(out, outPos);
  }

 private:
  iconv_t cd_;
};

const Converter& FromCp932() {
  static const Converter converter("UTF-8", "CP932");
  return converter;
}

const Converter& ToCp932() {
  static const Converter converter("CP932", "UTF-8");
  return converter;
}

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

QString DisplayText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  QString shown;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = IsLeadByte(byte) && i + 1 < bytes.size() ? 2 : 1;
    const auto decoded =
        IsControlByte(byte) ? std::nullopt : FromCp932().Convert(bytes.substr(i, length));
    if (decoded) {
      shown += QString::fromUtf8(decoded->data(), static_cast<qsizetype>(decoded->size()));
      i += length;
    } else {
      // Only this byte is lost: a bad trail byte may start the next character.
      shown += QChar(SubstituteCharacter);
      i += 1;
    }
  }
  return shown;
}

std::size_t Cp932Length(const QString& text) {
  std::size_t bytes = 0;
  for (const char32_t character : text.toUcs4()) {
    const QByteArray utf8 = QString::fromUcs4(&character, 1).toUtf8();
    const auto encoded = ToCp932().Convert(std::string_view(utf8.constData(), utf8.size()));
    bytes += encoded ? encoded->size() : 1;
  }
  return bytes;
}

Cp932LengthValidator::Cp932LengthValidator(std::size_t maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State Cp932LengthValidator::validate(QString& input, int&) const {
  return Cp932Length(input) <= maxBytes_ ? Acceptable : Invalid;
}
