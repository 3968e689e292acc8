#include "caldav/url/domain_to_ascii.h"

#include <unicode/uidna.h>

#include <cstdint>
#include <limits>

#include "text/utf8_text.h"

namespace caldav::url {

namespace {

// CheckBidi and CheckJoiners on; UseSTD3ASCIIRules and Transitional_Processing off.
constexpr uint32_t kUts46Options = UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ |
                                   UIDNA_NONTRANSITIONAL_TO_ASCII |
                                   UIDNA_NONTRANSITIONAL_TO_UNICODE;

// ICU always checks hyphens and DNS lengths; URLs ask for neither
// (CheckHyphens and VerifyDnsLength are false), so these findings do not count.
constexpr uint32_t kIgnoredErrors = UIDNA_ERROR_HYPHEN_3_4 | UIDNA_ERROR_LEADING_HYPHEN |
                                    UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_EMPTY_LABEL |
                                    UIDNA_ERROR_LABEL_TOO_LONG |
                                    UIDNA_ERROR_DOMAIN_NAME_TOO_LONG;

// One immutable converter for the process, opened on first use.
class Uts46 {
 public:
  Uts46() {
    UErrorCode status = U_ZERO_ERROR;
    idna_ = uidna_openUTS46(kUts46Options, &status);
    if (U_FAILURE(status)) idna_ = nullptr;
  }
  ~Uts46() {
    if (idna_ != nullptr) uidna_close(idna_);
  }
  Uts46(const Uts46&) = delete;
  Uts46& operator=(const Uts46&) = delete;

  std::optional<std::string> to_ascii(std::string_view domain) const {
    if (idna_ == nullptr) return std::nullopt;
    if (domain.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 8)) {
      return std::nullopt;
    }
    const auto length = static_cast<int32_t>(domain.size());
    std::string out(domain.size() + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
      UErrorCode status = U_ZERO_ERROR;
      UIDNAInfo info = UIDNA_INFO_INITIALIZER;
      const int32_t written =
          uidna_nameToASCII_UTF8(idna_, domain.data(), length, out.data(),
                                 static_cast<int32_t>(out.size()), &info, &status);
      if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<std::size_t>(written), '\0');
        continue;
      }
      if (U_FAILURE(status) || (info.errors & ~kIgnoredErrors) != 0) return std::nullopt;
      out.resize(static_cast<std::size_t>(written));
      return out;
    }
    return std::nullopt;
  }

 private:
  UIDNA* idna_ = nullptr;
};

bool is_forbidden_domain_code_point(unsigned char ch) {
  if (ch <= 0x1F || ch == 0x7F) return true;
  switch (ch) {
    case ' ': case '#': case '%': case '/': case ':': case '<': case '>': case '?':
    case '@': case '[': case '\\': case ']': case '^': case '|':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> domain_to_ascii(std::string_view domain) {
  std::string result;
  if (text::is_ascii(domain)) {
    // ASCII domains are only lower-cased, whatever ToASCII would say of them
    // (for instance of "xn--" labels that are not valid Punycode).
    result.assign(domain);
    for (char& ch : result) {
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
  } else {
    static const Uts46 uts46;
    std::optional<std::string> converted = uts46.to_ascii(domain);
    // A result that is not ASCII would not be a domain; refuse it outright.
    if (!converted || !text::is_ascii(*converted)) return std::nullopt;
    result = std::move(*converted);
  }
  if (result.empty()) return std::nullopt;
  for (const char ch : result) {
    if (is_forbidden_domain_code_point(static_cast<unsigned char>(ch))) return std::nullopt;
  }
  return result;
}

}  // namespace caldav::url
