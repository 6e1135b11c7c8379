#pragma once
// Memory the process is about to fill.

#include <cstddef>

namespace vtl::platform {

// Asks the system to back the pages of [begin, begin + bytes) for writing now, in one call,
// instead of one page fault per page on the first write; the content does not change. Only
// the whole pages inside the range are touched. Does nothing where the system has no such
// request, or when it refuses.
void prepare_for_writing(void* begin, std::size_t bytes) noexcept;

} // namespace vtl::platform
