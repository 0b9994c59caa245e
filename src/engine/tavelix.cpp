#include "engine/tavelix.h"

#include <malloc.h>

namespace tavelix {

TTavelix::TTavelix(TPictureHost& host) : FHost(&host) {}

void KeepPictureMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace tavelix
