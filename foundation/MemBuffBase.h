#pragma once
// CMemBuffBase<T>: a growable array of plain elements that owns its block.
// The block comes from realloc and goes back with free; no constructor or
// destructor of T ever runs. Failures never throw: the buffer ends empty.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/win32/Win32Types.h"

template <typename T>
class CMemBuffBase {
    static_assert(std::is_trivially_copyable_v<T>, "elements are raw memory");

public:
    explicit CMemBuffBase(int n = 0) {
        if (n > 0) Alloc(n);
    }
    virtual ~CMemBuffBase() { Free(); }

    // Copying would free the block twice.
    CMemBuffBase(const CMemBuffBase&) = delete;
    CMemBuffBase& operator=(const CMemBuffBase&) = delete;

    // Resizes the block to n elements, keeping the contents up to the smaller size.
    // Alloc(0) keeps the block but reports 0 elements; only Free releases memory.
    // A negative n or a byte size that does not fit in an int is refused (nothing changes,
    // the current block is returned). A failed reallocation leaves the buffer empty.
    virtual T* Alloc(int n) {
        if (n < 0 || !FitsBytes(n)) return m_p;
        if (n > 0 && n != m_count) {
            void* p = std::realloc(m_p, static_cast<size_t>(n) * sizeof(T));
            if (!p) std::free(m_p);
            m_p = static_cast<T*>(p);
        }
        m_count = n;
        if (!m_p) m_count = 0;
        return m_p;
    }

    // Grows to at least n elements, never shrinks.
    virtual T* GetBuffer(int n) {
        if (m_count < n) Alloc(n);
        return m_p;
    }

    virtual BOOL FillAll(int byteValue) { return Fill(byteValue, m_count); }

    // Sets the first n elements, byte by byte, to the low byte of byteValue.
    virtual BOOL Fill(int byteValue, int n) {
        if (!m_p || n < 0 || n > m_count) return FALSE;
        std::memset(m_p, byteValue & 0xFF, static_cast<size_t>(n) * sizeof(T));
        return TRUE;
    }

    virtual BOOL CopyFrom(const CMemBuffBase<T>& src) { return Copy(src.m_p, src.GetCount()); }

    // Copies n elements to the start of the block; refuses a count the block cannot hold.
    virtual BOOL Copy(const T* src, int n) {
        if (!m_p || n < 0 || n > m_count || (n > 0 && !src)) return FALSE;
        if (n > 0) std::memmove(m_p, src, static_cast<size_t>(n) * sizeof(T));
        return TRUE;
    }

    virtual int GetCount() const { return m_count; }
    virtual int GetByteSize() const { return m_count * static_cast<int>(sizeof(T)); }

    virtual void Free() {
        std::free(m_p);
        m_p = nullptr;
        m_count = 0;
    }

    T* GetData() const { return m_p; }

    // Address of element i, unchecked; offered for the 4-byte element types.
    T* GetItem(int i) const
        requires(sizeof(T) == 4)
    {
        return m_p + i;
    }

protected:
    static bool FitsBytes(int n) { return static_cast<int64_t>(n) * sizeof(T) <= INT_MAX; }

    T* m_p = nullptr;
    int m_count = 0;
};
