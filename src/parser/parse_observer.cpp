// The per-thread slot of the parse observer: each thread compiles on its
// own, so a check on one thread never sees the lines of another.
#include "parser/parse_observer.h"

namespace vorn {

namespace {
thread_local ParseObserver *t_observer = nullptr;
} // namespace

ParseObserver *current_parse_observer() {
    return t_observer;
}

ScopedParseObserver::ScopedParseObserver(ParseObserver *observer) : m_previous(t_observer) {
    t_observer = observer;
}

ScopedParseObserver::~ScopedParseObserver() {
    t_observer = m_previous;
}

} // namespace vorn
