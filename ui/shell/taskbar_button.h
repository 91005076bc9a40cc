// What the main window's taskbar button shows of the recording, so that it is seen and controlled
// while another program has the focus: an overlay icon for the state (with its description for
// screen readers), the error colour of the button's progress while no sound arrives or the input
// is awaited, and a thumbnail toolbar of pause/resume, stop and marker, enabled as the record
// bar's buttons are. The taskbar says when it has made the button (the "TaskbarButtonCreated"
// message, again after Explorer restarts): everything is made again then. Where the taskbar
// offers none of it, nothing is shown. Window thread.
#pragma once

#include "engine/win32_handles.h"

#include <windows.h>

#include <shobjidl.h>

#include <string>

// The recording as the taskbar button shows it.
struct TaskbarView {
    enum Mark { NONE, RECORDING, PAUSED, WAITING, QUIET };
    Mark mark = NONE;
    bool paused = false; // the first thumbnail button resumes rather than pauses
    bool pauseEnabled = false;
    bool stopEnabled = false;
    bool markerEnabled = false;
    bool operator==(const TaskbarView& other) const;
    bool operator!=(const TaskbarView& other) const { return !(*this == other); }
};

class CTaskbarButton {
public:
    CTaskbarButton() = default;
    ~CTaskbarButton();
    CTaskbarButton(const CTaskbarButton&) = delete;
    CTaskbarButton& operator=(const CTaskbarButton&) = delete;

    // The window whose button it is, and the toolbar bitmap its thumbnail buttons take their
    // images from (start, stop, pause, file name, marker; width × height each).
    void SetWindow(HWND window, UINT bitmap, int width, int height);
    // The registered "TaskbarButtonCreated" message (0 where it cannot be registered).
    static UINT CreatedMessage();
    // The taskbar has made the button: the taskbar's interface is taken (again), the thumbnail
    // buttons added and the view shown. False where the taskbar offers none.
    bool OnCreated();
    // Shows the view, now if the taskbar is there, else once it is.
    void Show(const TaskbarView& view);

    const TaskbarView& Shown() const { return m_view; }
    // The thumbnail buttons' images, once the taskbar has asked for them.
    HIMAGELIST Images() const { return m_images.Get(); }
    // count images of width × height from the bitmap, as the taskbar wants them: 32-bit with
    // alpha (the bitmap's background colour, its top-left pixel, transparent), each in the middle
    // of a cell of the small icon size.
    static HIMAGELIST ThumbImages(UINT bitmap, int width, int height, int count);
    // Whether the taskbar's interface is held and its thumbnail buttons added.
    bool Attached() const { return bool(m_list); }

private:
    void Apply();

    HWND m_window = nullptr;
    UINT m_bitmap = 0;
    int m_width = 16, m_height = 15;
    UniqueImageList m_images;
    UniqueIcon m_icons[5];        // an overlay icon for each mark
    ComPtr<ITaskbarList3> m_list; // let go first: it may hold the images
    bool m_buttonsAdded = false;
    TaskbarView m_view;
    TaskbarView m_applied; // what the taskbar was last given
    bool m_appliedAny = false;
};
