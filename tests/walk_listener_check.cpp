// Compiled by the walk.listener_* tests: only the good listener may compile,
// as the walk takes final listeners only.
#include "walk/walk.h"

namespace {

#if defined(LISTENER_good)
struct Listener final : ezg::QuietWalk {
  void tick(std::int64_t, std::uint8_t, std::int32_t) override {}
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
