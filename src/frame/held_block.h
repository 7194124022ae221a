// A block of the tracked allocator held by its one owner from the
// allocation to the owner's end, so that no caller writes its release out
// by hand, also not on the way out of an exception.
#pragma once

#include <utility>

namespace vorn {

// Gives `block` back through `Release` when the holder ends or reset() is
// called, whichever comes first.  The release runs also when no block was
// obtained: myFree then writes its "do nothing" line, so that the end of
// every holder shows in the trace.  Neither copied nor moved, so that the
// release happens exactly once.
template <typename T, void (*Release)(T *)> class HeldBlock {
  public:
    explicit HeldBlock(T *block = nullptr) : m_block(block) {}
    HeldBlock(const HeldBlock &) = delete;
    HeldBlock &operator=(const HeldBlock &) = delete;
    ~HeldBlock() { reset(); }

    T *get() const { return m_block; }
    // For the readers that hand a new block back through a pointer.
    T **out() { return &m_block; }

    // Hands the block on to another owner; nothing is released here.
    T *release() {
        m_released = true;
        return std::exchange(m_block, nullptr);
    }
    void reset() {
        if (!m_released) {
            m_released = true;
            Release(std::exchange(m_block, nullptr));
        }
    }

  private:
    T *m_block;
    bool m_released = false;
};

} // namespace vorn
