#include "objects/objects_registry.h"

namespace tav {

void RegisterObjectClasses() {
  // The classes of this layer so far are bases that no stream names; the streamable install objects
  // (file groups, install files, registry actions) register here as they arrive.
}

}  // namespace tav
