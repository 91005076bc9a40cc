// Owners of Windows handles (Windows only): each releases what it holds when it goes out of
// scope, so no release is repeated by hand at every return.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>

#include <memory>

// A paint of a window: BeginPaint now, EndPaint at the end of the scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
    ~PaintScope() { EndPaint(m_window, &m_paint); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return m_dc; }
    // The area to paint.
    const RECT& Area() const { return m_paint.rcPaint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};

// A window's device context (the screen's, for no window): GetDC now, ReleaseDC at the end.
class WindowDc {
public:
    explicit WindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDc() {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Dc() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// A kernel handle (a file, an event, a process), closed at the end; null and
// INVALID_HANDLE_VALUE both mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.m_handle) {
        other.m_handle = nullptr;
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = other.m_handle;
            other.m_handle = nullptr;
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
    // Closes the handle; false when the system reported an error.
    bool Reset() {
        const bool ok = !*this || CloseHandle(m_handle);
        m_handle = nullptr;
        return ok;
    }

private:
    HANDLE m_handle = nullptr;
};

// A picture in memory: a memory DC, compatible with a window's, with a bitmap of the given size
// selected; both deleted at the end. Dc() is null when the system had no room for them.
class MemoryPicture {
public:
    MemoryPicture(HDC compatible, int width, int height)
        : m_dc(CreateCompatibleDC(compatible)),
          m_bitmap(CreateCompatibleBitmap(compatible, width, height)), m_width(width),
          m_height(height) {
        if (m_dc && m_bitmap)
            m_old = SelectObject(m_dc, m_bitmap);
    }
    ~MemoryPicture() {
        if (m_old)
            SelectObject(m_dc, m_old);
        if (m_bitmap)
            DeleteObject(m_bitmap);
        if (m_dc)
            DeleteDC(m_dc);
    }
    MemoryPicture(const MemoryPicture&) = delete;
    MemoryPicture& operator=(const MemoryPicture&) = delete;

    HDC Dc() const { return m_old ? m_dc : nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old = nullptr;
    int m_width, m_height;
};

// Memory the system allocated for the program and that LocalFree releases (FormatMessage's
// text, for one).
struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
template <class T> using LocalMemory = std::unique_ptr<T, LocalFreeDeleter>;

// A COM interface pointer, released at the end. Put() hands out the slot for a call that
// returns a new reference (releasing what was held first).
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_object = other.m_object;
            other.m_object = nullptr;
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    // Takes over a reference the caller holds (one a factory returned, a new object's own).
    explicit ComPtr(T* object) : m_object(object) {}

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    T** Put() {
        Reset();
        return &m_object;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (m_object)
            m_object->Release();
        m_object = nullptr;
    }

private:
    T* m_object = nullptr;
};

// Memory that COM allocated for the program (an endpoint's ID), freed with CoTaskMemFree.
struct CoTaskMemFreeDeleter {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};
template <class T> using CoTaskMemory = std::unique_ptr<T, CoTaskMemFreeDeleter>;

// A handle of the window system that one call frees (a GDI object, a memory DC, an icon, an
// image list), freed at the end. Free is the function object that frees it.
template <class H, class Free> class UniqueObject {
public:
    UniqueObject() = default;
    explicit UniqueObject(H handle) : m_handle(handle) {}
    ~UniqueObject() { Reset(); }
    UniqueObject(UniqueObject&& other) noexcept : m_handle(other.Release()) {}
    UniqueObject& operator=(UniqueObject&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueObject(const UniqueObject&) = delete;
    UniqueObject& operator=(const UniqueObject&) = delete;

    H Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(H handle = nullptr) {
        if (m_handle)
            Free()(m_handle);
        m_handle = handle;
    }
    // Hands the handle to the caller, who frees it from now on.
    H Release() {
        H handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    H m_handle = nullptr;
};

struct GdiObjectFree {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct MemoryDcFree {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct IconFree {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct ImageListFree {
    void operator()(HIMAGELIST list) const { ImageList_Destroy(list); }
};
struct AcceleratorsFree {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};
struct PowerNotifyFree {
    void operator()(HPOWERNOTIFY notify) const { UnregisterPowerSettingNotification(notify); }
};
// A pen, a brush, a font or a bitmap (never one that is selected into a DC at the end).
template <class T> using GdiObject = UniqueObject<T, GdiObjectFree>;
// A DC of CreateCompatibleDC.
using MemoryDc = UniqueObject<HDC, MemoryDcFree>;
using UniqueIcon = UniqueObject<HICON, IconFree>;
using UniqueImageList = UniqueObject<HIMAGELIST, ImageListFree>;
using UniqueAccelerators = UniqueObject<HACCEL, AcceleratorsFree>;
// A registration for a power setting's notifications (RegisterPowerSettingNotification).
using PowerNotification = UniqueObject<HPOWERNOTIFY, PowerNotifyFree>;

// An object selected into a DC for the scope: the DC's earlier one selected back at the end.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (m_old && m_old != HGDI_ERROR)
            SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A BSTR, freed with SysFreeString at the end; null when there was no memory.
class UniqueBstr {
public:
    explicit UniqueBstr(const wchar_t* text, size_t length)
        : m_text(SysAllocStringLen(text, UINT(length))) {}
    explicit UniqueBstr(const wchar_t* text) : m_text(SysAllocString(text)) {}
    ~UniqueBstr() { SysFreeString(m_text); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    BSTR Get() const { return m_text; }
    explicit operator bool() const { return m_text != nullptr; }

private:
    BSTR m_text;
};
