// The one export of UserTag.dll.
#include "factory.h"
#include "user_tag.h"

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CUserTag>(out, registry);
}
