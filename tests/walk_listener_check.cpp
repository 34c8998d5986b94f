// Compiled by the walk.listener_* tests: only the good listener may compile.
#include "walk/walk.h"

namespace {

#if defined(LISTENER_good)
struct Listener final : ezg::QuietWalk {
  void tick(std::int64_t, std::uint8_t, std::int32_t) override {}
};
#elif defined(LISTENER_misspelt)
struct Listener final : ezg::QuietWalk {
  void tik(std::int64_t, std::uint8_t, std::int32_t) override {}
};
#elif defined(LISTENER_hook_without_override)
// Every hook carries `override`, so a misspelt one cannot pass unseen.
struct Listener final : ezg::QuietWalk {
  void visit(std::int64_t, std::uint8_t) {}
};
#elif defined(LISTENER_wrong_signature)
struct Listener final : ezg::QuietWalk {
  void tick(std::int64_t, std::uint8_t, std::int64_t) override {}
};
#elif defined(LISTENER_not_final)
struct Listener : ezg::QuietWalk {
  void tick(std::int64_t, std::uint8_t, std::int32_t) override {}
};
#endif

}  // namespace

std::int64_t walkForCheck(const ezg::FileBuffer& file) {
  Listener listener;
  return ezg::walkEvents(file, listener);
}
