#include "engine/tavelix.h"

namespace tavelix {

TTavelix::TTavelix(TPictureHost& host) : FHost(&host) {}

}  // namespace tavelix
