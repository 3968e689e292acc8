// Access requests of the local store, answered as access.json's "prompt" says.

#include "platform/local/root/access_record.h"
#include "platform/local/local_event_store.h"

namespace platform::local {

bool LocalEventStore::responds_to_full_access_request(EntityType) const { return true; }

void LocalEventStore::request_full_access(EntityType type, AccessCompletion completion) {
  request_access(type, std::move(completion));
}

void LocalEventStore::request_access(EntityType type, AccessCompletion completion) {
  AccessRecord record = read_access_record(root_);
  AuthorizationStatus status = record.status(type);
  bool granted = false;
  std::optional<Error> error;
  if (status == AuthorizationStatus::fullAccess) {
    granted = true;
  } else if (status == AuthorizationStatus::restricted || status == AuthorizationStatus::denied) {
    granted = false;
  } else {
    switch (record.prompt.kind) {
      case AccessPrompt::Kind::ignore:
        unanswered_.push_back(std::move(completion));
        return;
      case AccessPrompt::Kind::drop:
        // Released on another thread, uncalled, as a platform that lets go of it.
        threads_.run([released = std::move(completion)] {});
        return;
      case AccessPrompt::Kind::error:
        error = Error{record.prompt.error_text};
        break;
      case AccessPrompt::Kind::grant:
      case AccessPrompt::Kind::deny: {
        bool grant = record.prompt.kind == AccessPrompt::Kind::grant;
        // The answer is written down first, so whoever reads the status after a
        // granted answer already finds full access.
        auto recorded =
            write_authorization_status(root_, type, grant ? AuthorizationStatus::fullAccess : AuthorizationStatus::denied);
        if (!recorded.ok()) {
          error = recorded.error();
        } else {
          granted = grant;
        }
        break;
      }
    }
  }
  threads_.run([completion = std::move(completion), granted, error = std::move(error)] {
    if (completion) completion(granted, error);
  });
}

}  // namespace platform::local
