#pragma once
// Plays a WAV file asynchronously, as the received-fax sound and the
// preferences' "Play Now" do. Playing is best effort: a missing file, a file
// that is not a WAV, or a machine without sound output stays silent; no
// error is ever shown.
#include <QString>

namespace tlm {

// True when `path` names a readable RIFF/WAVE file.
bool IsWaveFile(const QString& path);

// Starts playing `path` and returns at once; false when nothing was started
// (no such file, not a WAV). A started sound that cannot reach a sound
// device ends silently.
bool PlaySoundFile(const QString& path);

}  // namespace tlm
