#pragma once
// CMemBuffClassBase<T>: owns at most one heap object of a polymorphic class and
// deletes it when it is replaced or when the holder dies.
// CMemBuffClassBaseConst<T>: creates its object at construction and keeps it.

template <typename T>
class CMemBuffClassBase {
public:
    explicit CMemBuffClassBase(T* p = nullptr) : m_p(p) {}
    virtual ~CMemBuffClassBase() { Release(); }

    // Copying would delete the object twice.
    CMemBuffClassBase(const CMemBuffClassBase&) = delete;
    CMemBuffClassBase& operator=(const CMemBuffClassBase&) = delete;

    virtual void Release() {
        T* p = m_p;
        m_p = nullptr;
        delete p;
    }

    // Releases the held object, then holds p. Attaching the object already held does
    // nothing (releasing it first would leave the holder with a dangling pointer).
    virtual void Attach(T* p) {
        if (p && p == m_p) return;
        Release();
        m_p = p;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    T* m_p;
};

template <typename T>
class CMemBuffClassBaseConst : public CMemBuffClassBase<T> {
public:
    CMemBuffClassBaseConst() : CMemBuffClassBase<T>(new T) {}
};
