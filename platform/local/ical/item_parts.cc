#include "platform/local/ical/item_parts.h"

#include <nettle/sha2.h>

#include <unordered_map>

#include "platform/local/ical/content_lines.h"
#include "platform/local/ical/ical_handles.h"
#include "text/hex_digits.h"
#include "text/utf8_text.h"

namespace platform::local {

namespace {

std::optional<icaltimetype> time_property(icalcomponent* component, icalproperty_kind kind) {
  icalproperty* property = icalcomponent_get_first_property(component, kind);
  if (property == nullptr) return std::nullopt;
  icaltimetype value = kind == ICAL_LASTMODIFIED_PROPERTY ? icalproperty_get_lastmodified(property)
                                                          : icalproperty_get_dtstamp(property);
  if (icaltime_is_null_time(value) || !icaltime_is_valid_time(value)) return std::nullopt;
  return value;
}

}  // namespace

Revision revision_of(icalcomponent* component) {
  Revision revision;
  if (icalproperty* sequence = icalcomponent_get_first_property(component, ICAL_SEQUENCE_PROPERTY)) {
    revision.sequence = icalproperty_get_sequence(sequence);
  }
  revision.last_modified = time_property(component, ICAL_LASTMODIFIED_PROPERTY);
  revision.stamp = time_property(component, ICAL_DTSTAMP_PROPERTY);
  return revision;
}

namespace {

// -1, 0 or 1 as `a` is earlier than, as late as or later than `b`.
int compare_times(const std::optional<icaltimetype>& a, const std::optional<icaltimetype>& b) {
  if (!a || !b) return a ? 1 : b ? -1 : 0;
  // Both are UTC in practice; a floating value compares as if it were.
  return icaltime_compare(*a, *b);
}

bool is_item_kind(icalcomponent_kind kind) { return kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT; }

void add_component(ItemPart& part, PartComponent found) {
  if (icalcomponent_get_first_property(found.component, ICAL_RECURRENCEID_PROPERTY) != nullptr) {
    part.overrides.push_back(found);
  } else if (!part.master) {
    part.master = found;
  } else if (replaces_revision(revision_of(found.component), revision_of(part.master->component))) {
    part.stale.push_back(*part.master);
    part.master = found;
  } else {
    part.stale.push_back(found);
  }
}

// "#" and the first 16 lower-case hexadecimal digits of the SHA-256 of `bytes`.
std::string digest_key(std::string_view bytes) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  std::string key = "#";
  for (std::size_t i = 0; i < 8; ++i) text::append_hex_byte(key, digest[i], text::kLowerHexDigits);
  return key;
}

// Keys for the items without a UID, from their components' text as it stands in
// the file. Where the file's lines do not line up with libical's components (a
// file libical repaired), libical's own text of the component stands in.
void key_items_without_uid(std::vector<ItemPart>& parts, icalcomponent* root, std::string_view text) {
  std::vector<ContentLine> lines;
  std::optional<std::vector<ComponentSpan>> events, todos;  // located once per file
  for (ItemPart& part : parts) {
    if (!part.uid.empty()) continue;
    const PartComponent& only = part.master ? *part.master : part.overrides.front();
    if (lines.empty()) lines = split_content_lines(text);
    bool event = part.kind == ICAL_VEVENT_COMPONENT;
    auto& spans = event ? events : todos;
    if (!spans) {
      spans = item_component_spans(lines, event ? "VEVENT" : "VTODO");
      // The lines name the same components as libical only when they are as many.
      if (spans->size() != item_component_count(root, part.kind)) spans->clear();
    }
    std::optional<ComponentSpan> span;
    if (only.position < spans->size()) span = (*spans)[only.position];
    if (span) {
      std::size_t begin = lines[span->begin_line].begin;
      part.key = digest_key(text.substr(begin, lines[span->end_line].end - begin));
    } else {
      part.key = digest_key(take_ical_string(icalcomponent_as_ical_string_r(only.component)));
    }
  }
}

}  // namespace

std::string uid_in_identifier(const std::string& uid) { return text::escaped_utf8(uid); }

icalcomponent* ItemPart::main() const {
  if (master) return master->component;
  return overrides.empty() ? nullptr : overrides.front().component;
}

std::size_t ItemPart::main_position() const {
  if (master) return master->position;
  return overrides.empty() ? 0 : overrides.front().position;
}

bool replaces_revision(const Revision& a, const Revision& b) {
  if (a.sequence != b.sequence) return a.sequence > b.sequence;
  if (int c = compare_times(a.last_modified, b.last_modified)) return c > 0;
  return compare_times(a.stamp, b.stamp) >= 0;
}

std::vector<icalcomponent*> calendars_of(icalcomponent* root) {
  std::vector<icalcomponent*> calendars;
  if (root == nullptr) return calendars;
  icalcomponent_kind root_kind = icalcomponent_isa(root);
  if (root_kind == ICAL_VCALENDAR_COMPONENT) calendars.push_back(root);
  if (root_kind != ICAL_XROOT_COMPONENT) return calendars;
  // An iterator of its own: the root's component cursor stays where it is.
  for (icalcompiter at = icalcomponent_begin_component(root, ICAL_VCALENDAR_COMPONENT); icalcompiter_deref(&at);
       icalcompiter_next(&at)) {
    calendars.push_back(icalcompiter_deref(&at));
  }
  return calendars;
}

std::size_t item_component_count(icalcomponent* root, icalcomponent_kind kind) {
  if (root != nullptr && icalcomponent_isa(root) == kind) return 1;
  std::size_t count = 0;
  for (icalcomponent* calendar : calendars_of(root)) {
    count += static_cast<std::size_t>(icalcomponent_count_components(calendar, kind));
  }
  return count;
}

icalcomponent* vcalendar_of(icalcomponent* component) {
  icalcomponent* parent = component ? icalcomponent_get_parent(component) : nullptr;
  return parent && icalcomponent_isa(parent) == ICAL_VCALENDAR_COMPONENT ? parent : nullptr;
}

std::vector<ItemPart> item_parts(icalcomponent* root, std::string_view text) {
  std::vector<ItemPart> parts;
  icalcomponent_kind root_kind = icalcomponent_isa(root);
  if (is_item_kind(root_kind)) {
    ItemPart part;
    const char* uid = icalcomponent_get_uid(root);
    part.uid = uid ? uid : "";
    part.key = uid_in_identifier(part.uid);
    part.kind = root_kind;
    add_component(part, PartComponent{root, 0});
    parts.push_back(std::move(part));
    return parts;
  }
  // Events and tasks are items apart, also under one UID.
  std::unordered_map<std::string, std::size_t> events_by_uid, todos_by_uid;
  std::size_t events = 0, todos = 0;
  for (icalcomponent* calendar : calendars_of(root)) {
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
      icalcomponent_kind kind = icalcomponent_isa(c);
      if (!is_item_kind(kind)) continue;
      bool event = kind == ICAL_VEVENT_COMPONENT;
      std::size_t position = event ? events++ : todos++;
      // Only the UID property is looked up: the parent's component cursor stays where it is.
      icalproperty* uid_property = icalcomponent_get_first_property(c, ICAL_UID_PROPERTY);
      const char* uid_text = uid_property ? icalproperty_get_uid(uid_property) : nullptr;
      std::string uid = uid_text ? uid_text : "";
      std::size_t at = parts.size();
      // Components without a UID are not revisions of one item: each stands alone.
      if (!uid.empty()) at = (event ? events_by_uid : todos_by_uid).emplace(uid, parts.size()).first->second;
      if (at == parts.size()) {
        parts.emplace_back();
        parts.back().key = uid_in_identifier(uid);
        parts.back().uid = std::move(uid);
        parts.back().kind = kind;
      }
      add_component(parts[at], PartComponent{c, position});
    }
  }
  if (parts.size() > 1) key_items_without_uid(parts, root, text);
  return parts;
}

}  // namespace platform::local
