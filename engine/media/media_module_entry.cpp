// The entry point of the media module, fablecraft-media.so.
#include "engine/media/qt_media_backends.h"

extern "C" Q_DECL_EXPORT fc::MediaBackends *fablecraft_media_backends(int interfaceVersion)
{
    if (interfaceVersion != fc::kMediaInterfaceVersion)
        return nullptr;
    return new fc::QtMediaBackends;
}
