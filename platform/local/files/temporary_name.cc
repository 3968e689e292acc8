#include "platform/local/files/temporary_name.h"

#include "platform/local/files/random_uuid.h"

namespace platform::local {

namespace {

constexpr std::size_t kUuidLength = 36;
constexpr std::size_t kNameKept = 64;
constexpr std::string_view kSuffix = ".tmp";

bool is_lower_uuid(std::string_view text) {
  if (text.size() != kUuidLength) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash_place ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::string temporary_path_for(const std::string& target) {
  std::size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "/." + name.substr(0, kNameKept) + "." + random_uuid() + std::string(kSuffix);
}

bool is_temporary_name(std::string_view name) {
  constexpr std::size_t kTail = 1 + kUuidLength + kSuffix.size();
  if (name.size() < 2 + kTail || name.front() != '.') return false;
  if (name.substr(name.size() - kSuffix.size()) != kSuffix) return false;
  if (name[name.size() - kTail] != '.') return false;
  return is_lower_uuid(name.substr(name.size() - kTail + 1, kUuidLength));
}

}  // namespace platform::local
