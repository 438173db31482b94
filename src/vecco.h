// Small fixed-size numeric vectors used as plain values: positions, sizes,
// pixel coordinates and colours.
#pragma once

#include <cmath>

template <typename T, int S>
struct vecco {
    T components[S];

    vecco() { clear(); }
    explicit vecco(const T& Value) {
        for (int i = 0; i < S; ++i) components[i] = Value;
    }
    explicit vecco(const T* Values) {
        for (int i = 0; i < S; ++i) components[i] = Values[i];
    }
    vecco(const vecco&) = default;
    const vecco& operator=(const vecco& Other) {
        for (int i = 0; i < S; ++i) components[i] = Other.components[i];
        return *this;
    }
    const vecco& operator=(const T& Value) {
        for (int i = 0; i < S; ++i) components[i] = Value;
        return *this;
    }

    T& operator[](int I) { return components[I]; }
    const T& operator[](int I) const { return components[I]; }
    operator T*() { return components; }
    operator const T*() const { return components; }

    void clear() {
        for (int i = 0; i < S; ++i) components[i] = T(0);
    }
    bool zero() const {
        for (int i = 0; i < S; ++i)
            if (components[i] != T(0)) return false;
        return true;
    }

    bool operator==(const vecco& Other) const {
        for (int i = 0; i < S; ++i)
            if (components[i] != Other.components[i]) return false;
        return true;
    }
    bool operator!=(const vecco& Other) const { return !(*this == Other); }
    bool operator==(const T& Value) const {
        for (int i = 0; i < S; ++i)
            if (components[i] != Value) return false;
        return true;
    }
    // Lexicographic, so vectors can key ordered containers.
    bool operator<(const vecco& Other) const {
        for (int i = 0; i < S; ++i) {
            if (components[i] < Other.components[i]) return true;
            if (Other.components[i] < components[i]) return false;
        }
        return false;
    }

    const vecco& operator++() { return *this += T(1); }
    const vecco& operator--() { return *this -= T(1); }

    vecco operator+(const vecco& O) const { vecco R(*this); return R += O; }
    vecco operator-(const vecco& O) const { vecco R(*this); return R -= O; }
    vecco operator*(const vecco& O) const { vecco R(*this); return R *= O; }
    vecco operator/(const vecco& O) const { vecco R(*this); return R /= O; }
    vecco operator+(const T& V) const { vecco R(*this); return R += V; }
    vecco operator-(const T& V) const { vecco R(*this); return R -= V; }
    vecco operator*(const T& V) const { vecco R(*this); return R *= V; }
    vecco operator/(const T& V) const { vecco R(*this); return R /= V; }

    const vecco& operator+=(const vecco& O) { for (int i = 0; i < S; ++i) components[i] += O.components[i]; return *this; }
    const vecco& operator-=(const vecco& O) { for (int i = 0; i < S; ++i) components[i] -= O.components[i]; return *this; }
    const vecco& operator*=(const vecco& O) { for (int i = 0; i < S; ++i) components[i] *= O.components[i]; return *this; }
    const vecco& operator/=(const vecco& O) { for (int i = 0; i < S; ++i) components[i] /= O.components[i]; return *this; }
    const vecco& operator+=(const T& V) { for (int i = 0; i < S; ++i) components[i] += V; return *this; }
    const vecco& operator-=(const T& V) { for (int i = 0; i < S; ++i) components[i] -= V; return *this; }
    const vecco& operator*=(const T& V) { for (int i = 0; i < S; ++i) components[i] *= V; return *this; }
    const vecco& operator/=(const T& V) { for (int i = 0; i < S; ++i) components[i] /= V; return *this; }
};

typedef vecco<int, 2> iloc;
typedef vecco<double, 2> rloc;
typedef vecco<double, 3> rpos;
typedef vecco<float, 4> fcolor;

inline iloc mkiloc(int A, int B) { iloc V; V[0] = A; V[1] = B; return V; }
inline rloc mkrloc(double A, double B) { rloc V; V[0] = A; V[1] = B; return V; }
inline rpos mkrpos(double A, double B, double C) { rpos V; V[0] = A; V[1] = B; V[2] = C; return V; }
inline fcolor mkfcolor(float R, float G, float B, float A) {
    fcolor V; V[0] = R; V[1] = G; V[2] = B; V[3] = A; return V;
}

template <typename T, int S>
T length_squared(const vecco<T, S>& V) {
    T Sum = T(0);
    for (int i = 0; i < S; ++i) Sum += V[i] * V[i];
    return Sum;
}

template <typename T, int S>
T length(const vecco<T, S>& V) { return std::sqrt(length_squared(V)); }

// A zero vector has no direction; it becomes the unit x axis instead.
template <typename T, int S>
void safe_normalize(vecco<T, S>& V) {
    T L = length(V);
    if (L == T(0)) {
        V.clear();
        V[0] = T(1);
        return;
    }
    V /= L;
}
