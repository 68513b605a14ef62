#pragma once
// A game folder made with its runtime files carries its own GStreamer
// plugins (lib/gstreamer-1.0). GStreamer must be told before it starts: this
// points it at them, keeps it away from the system's plugins, and gives it a
// registry of its own in the user's cache folder. Call before the
// application object is made; does nothing for a program without that folder.

#include <QString>

namespace fc {

// Folder of the running executable, known before QCoreApplication exists.
QString executableDir();

// Returns true when programDir holds a runtime bundle and the environment was
// set up for it.
bool usePackagedRuntime(const QString &programDir);

} // namespace fc
