#pragma once
// VectorI: an array of pointers with a growth step and optional ownership of its elements.
// Vector: an owning VectorI that can insert copies. Broken preconditions go through Falla.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/falla.h"

template <class T> class VectorI {
  public:
    VectorI(int32_t capacidad, int32_t incremento, bool propio)
        : propio_(propio), capacidad_(capacidad), incremento_(incremento) {
        if (capacidad_ != 0) elementos_ = allocate(capacidad_);
    }
    VectorI(const VectorI&) = delete;
    VectorI& operator=(const VectorI&) = delete;

    virtual ~VectorI() {
        if (propio_)
            for (int32_t i = 0; i < cuenta_; ++i) {
                delete elementos_[i];
                elementos_[i] = nullptr;
            }
        cuenta_ = 0;
        std::free(elementos_);
    }

    int32_t First() const { return primero_; }
    int32_t Count() const { return cuenta_; }
    int32_t Capacity() const { return capacidad_; }

    bool Exists(int32_t index) const {
        int32_t slot = index - primero_;
        return slot >= 0 && slot < cuenta_ && elementos_[slot] != nullptr;
    }

    T* Get(int32_t index) const {
        int32_t slot = index - primero_;
        if (slot < 0 || slot >= cuenta_) Falla(kErrIndexOutside);
        if (!elementos_[slot]) Falla(kErrNoElement);
        return elementos_[slot];
    }

    void Grow(int32_t n) {
        int32_t count = cuenta_ + n;
        if (count > capacidad_) {
            if (incremento_ == 0) Falla(kErrNoGrowth);
            int32_t cap = count + incremento_ + 2;
            T** slots = allocate(cap);
            if (cuenta_ > 0)
                std::memcpy(slots, elementos_, sizeof(T*) * static_cast<size_t>(cuenta_));
            std::free(elementos_);
            elementos_ = slots;
            capacidad_ = cap;
        }
        cuenta_ = count;
    }

    T* Add(int32_t index) { return place(index, kErrAddBeforeFirst, nullptr); }

    void clear() {
        for (int32_t i = 0; i < cuenta_; ++i) {
            if (propio_) delete elementos_[i];
            elementos_[i] = nullptr;
        }
        cuenta_ = 0;
        std::free(elementos_);
        elementos_ = nullptr;
        if (incremento_ <= 0) incremento_ = capacidad_;
        capacidad_ = 0;
    }

  protected:
    // Grows by one, opens a slot at index (the end for a negative index or one past the end)
    // and fills it with a new element, a copy of *from when given. Returns the new element;
    // its slot number goes to slot_out when given.
    T* place(int32_t index, int32_t before_first_code, const T* from, int32_t* slot_out = nullptr) {
        int32_t old = cuenta_;
        Grow(1);
        int32_t slot = index >= 0 ? index - primero_ : old;
        if (slot < 0) Falla(before_first_code);
        if (slot > old) slot = old;
        std::memmove(elementos_ + slot + 1, elementos_ + slot,
                     sizeof(T*) * static_cast<size_t>(old - slot));
        elementos_[slot] = nullptr;
        T* e = new (std::nothrow) T();
        CompruebaPuntero(e, sizeof(T), 1);
        if (from) *e = *from;
        elementos_[slot] = e;
        if (slot_out) *slot_out = slot;
        return e;
    }

  private:
    static T** allocate(int32_t n) {
        auto** slots = static_cast<T**>(std::calloc(static_cast<size_t>(n), sizeof(T*)));
        CompruebaPuntero(slots, sizeof(T*), static_cast<size_t>(n));
        return slots;
    }

    bool propio_;
    int32_t cuenta_ = 0;
    int32_t capacidad_;
    int32_t incremento_;
    int32_t primero_ = 0;
    T** elementos_ = nullptr;
};

template <class T> class Vector : public VectorI<T> {
  public:
    Vector(int32_t capacidad, int32_t incremento) : VectorI<T>(capacidad, incremento, true) {}

    virtual int32_t Insert(const T* e, int32_t index) {
        if (!e) Falla(kErrNullElement);
        int32_t slot = 0;
        this->place(index, kErrInsertBeforeFirst, e, &slot);
        return slot;
    }
};
