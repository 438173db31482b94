// Counted shared handle: the hub, allocated apart from the object, counts the
// handles sharing it and owns the object.
#pragma once

template <typename T>
class ref {
public:
    struct hub_struct {
        bool placeholder;
        int count;
        T* object;
    };

    hub_struct* hub;

    ref() : hub(nullptr) {}
    ref(const ref& Other) : hub(Other.hub) {
        if (hub) ++hub->count;
    }
    virtual ~ref() { release(); }

    // Release first, then share the source's hub as it stands afterwards.
    const ref& operator=(const ref& Other) { return assign(Other); }
    const ref& operator=(ref& Other) { return assign(Other); }

    void init(T* Object) { adopt(Object, false); }
    void init_placeholder(T* Object) { adopt(Object, true); }
    // Puts a placeholder hub in front of Object, keeping every other holder
    // of this handle's hub pointed at it.
    void overlay_placeholder(T* Object) {
        if (!hub) { init_placeholder(Object); return; }
        hub->placeholder = true;
        hub->object = Object;
    }
    bool is_placeholder() const { return hub && hub->placeholder; }

    void clear() { release(); }

    T* ptr() { return hub ? hub->object : nullptr; }
    const T* c_ptr() const { return hub ? hub->object : nullptr; }
    T* operator()() { return ptr(); }
    const T* operator()() const { return c_ptr(); }
    T* operator->() { return ptr(); }
    const T* operator->() const { return c_ptr(); }

    bool null() const { return !hub || !hub->object; }
    int count() const { return hub ? hub->count : 0; }
    bool operator==(const ref& Other) const { return hub == Other.hub; }
    bool operator<(const ref& Other) const { return hub < Other.hub; }

private:
    const ref& assign(const ref& Other) {
        clear();
        hub = Other.hub;
        if (hub) ++hub->count;
        return *this;
    }
    void adopt(T* Object, bool Placeholder) {
        clear();
        hub = new hub_struct{Placeholder, 1, Object};
    }
    // Empties the handle before the object goes: its destructor may release
    // or reassign further handles, this one included, and must find it empty.
    void release() {
        hub_struct* Hub = hub;
        if (!Hub) return;
        hub = nullptr;
        if (--Hub->count == 0) destroy(Hub);
    }
    // Kept out of line: inlined into callers that share one hub between
    // several handles, GCC's use-after-free analysis misreads the count.
    [[gnu::noinline]] static void destroy(hub_struct* Hub) {
        if (!Hub->placeholder && Hub->object) delete Hub->object;
        delete Hub;
    }
};

template <typename T>
ref<T> mkref(T* P) {
    ref<T> newref;
    newref.init(P);
    return newref;
}
