// A plug-in's editor in a top-level X11 window of vsthost's own: the window is the parent the plug-in
// builds its editor in, as a DAW's plug-in window is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/options.h"
#include "host/plugin.h"

typedef struct _XDisplay Display;

namespace vsthost {

// True when an X display can be opened (DISPLAY is set and the server answers).
bool displayAvailable();

class EditorWindow {
public:
    // Opens the display, a window of the editor's size and the editor in it (effEditOpen). Throws
    // HostError when there is no display, the plug-in has no editor, or the editor refuses to open.
    EditorWindow(Plugin& plugin, const std::string& title);
    // Closes the editor (effEditClose), then the window.
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // One effEditIdle, then the window's own events. False once the user has closed the window or the X
    // server has gone away.
    bool idle();
    bool serverLost() const { return serverLost_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // The window's pixels, the editor's among them, as 0x00RRGGBB values row by row.
    std::vector<uint32_t> pixels();
    // Writes pixels() as a PNG file; throws HostError on failure.
    void savePng(const std::string& path);

private:
    Plugin& plugin_;
    Display* display_ = nullptr;
    unsigned long window_ = 0;
    unsigned long deleteAtom_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool editorOpen_ = false;
    bool closedByUser_ = false;
    bool serverLost_ = false;
};

// Loads the plug-in for snapshot or edit and puts it into the state the options ask for, at their rate
// (else 44100 Hz), processing resumed.
std::unique_ptr<Plugin> loadForEditor(const Options& options, HostContext& host);

// Opens the editor, idles it until its pixels stop changing, and writes them as a PNG file.
void saveEditorSnapshot(Plugin& plugin, const std::string& path);

}  // namespace vsthost
