// Owners of Windows handles (Windows only): each releases what it holds when it goes out of
// scope, so no release is repeated by hand at every return.
#pragma once

#include <windows.h>

#include <objbase.h>

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
