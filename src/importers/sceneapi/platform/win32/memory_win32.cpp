#include "platform/memory.h"

namespace vtl::platform {

// The pages come one fault at a time on the first write: Windows has no request that backs
// committed private pages ahead of it.
void prepare_for_writing(void*, std::size_t) noexcept {}

} // namespace vtl::platform
