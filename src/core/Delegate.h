#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// Bound callbacks: an object and one of its member functions, which takes no argument or
// one word argument (GUI elements pass themselves, option rows a pointer to a value).
// Delegates are events between objects; DelegateList is an ordered list of them.

// The one-word argument every delegate is called with.
using DelegateArg = std::uintptr_t;

class Delegate {
public:
    Delegate() = default;

    // Binds obj->fn. fn may take nothing, or one pointer or integer argument.
    template <class T, class R, class... A>
    static Delegate member(T* obj, R (T::*fn)(A...)) {
        static_assert(sizeof...(A) <= 1, "a delegate passes at most one word argument");
        Delegate d;
        d.object = obj;
        d.ops = &memberOps<T, R, A...>;
        static_assert(sizeof(fn) <= sizeof(d.target));
        std::memcpy(d.target, &fn, sizeof(fn));
        return d;
    }

    // Binds a free function; hooks of the program use these.
    template <class R, class... A>
    static Delegate function(R (*fn)(A...)) {
        static_assert(sizeof...(A) <= 1, "a delegate passes at most one word argument");
        Delegate d;
        d.ops = &functionOps<R, A...>;
        static_assert(sizeof(fn) <= sizeof(d.target));
        std::memcpy(d.target, &fn, sizeof(fn));
        return d;
    }

    bool isBound() const { return ops != nullptr; }
    void operator()(DelegateArg arg = 0) const {
        if (ops)
            ops->call(*this, arg);
    }

    // Equal when they bind the same object and the same function.
    bool operator==(const Delegate& other) const {
        return ops == other.ops && object == other.object &&
               std::memcmp(target, other.target, sizeof(target)) == 0;
    }
    bool operator!=(const Delegate& other) const { return !(*this == other); }

    void* boundObject() const { return object; }

private:
    struct Ops {
        void (*call)(const Delegate&, DelegateArg);
    };

    template <class A>
    static A convertArg(DelegateArg arg) {
        if constexpr (std::is_pointer_v<A>)
            return reinterpret_cast<A>(arg);
        else if constexpr (std::is_reference_v<A>)
            return *reinterpret_cast<std::remove_reference_t<A>*>(arg);
        else
            return static_cast<A>(arg);
    }

    template <class T, class R, class... A>
    static void callMember(const Delegate& d, DelegateArg arg) {
        R (T::*fn)(A...);
        std::memcpy(&fn, d.target, sizeof(fn));
        T* obj = static_cast<T*>(d.object);
        if constexpr (sizeof...(A) == 0) {
            (void)arg;
            (obj->*fn)();
        } else {
            (obj->*fn)(convertArg<A...>(arg));
        }
    }

    template <class R, class... A>
    static void callFunction(const Delegate& d, DelegateArg arg) {
        R (*fn)(A...);
        std::memcpy(&fn, d.target, sizeof(fn));
        if constexpr (sizeof...(A) == 0) {
            (void)arg;
            fn();
        } else {
            fn(convertArg<A...>(arg));
        }
    }

    template <class T, class R, class... A>
    static constexpr Ops memberOps{&callMember<T, R, A...>};
    template <class R, class... A>
    static constexpr Ops functionOps{&callFunction<R, A...>};

    const Ops* ops = nullptr;
    void* object = nullptr;
    alignas(std::max_align_t) unsigned char target[2 * sizeof(void*)] = {};
};

// An ordered list of delegates with a stop flag. Delegates may add or remove entries of
// the list they are called from (themselves included), and may destroy the list, while it
// runs: removed entries are not called any more, entries added during a run wait for the
// next run, and a destroyed list ends the run.
class DelegateList {
public:
    DelegateList() = default;
    ~DelegateList();
    DelegateList(const DelegateList&) = delete;
    DelegateList& operator=(const DelegateList&) = delete;

    // Appends a copy of the delegate; the caller keeps its own.
    void add(const Delegate& delegate);
    template <class T, class R, class... A>
    void addMember(T* obj, R (T::*fn)(A...)) {
        add(Delegate::member(obj, fn));
    }
    template <class R, class... A>
    void addFunction(R (*fn)(A...)) {
        add(Delegate::function(fn));
    }

    // Removes the first entry equal to the delegate; answers whether there was one.
    bool remove(const Delegate& delegate);
    template <class T, class R, class... A>
    bool removeMember(T* obj, R (T::*fn)(A...)) {
        return remove(Delegate::member(obj, fn));
    }
    template <class R, class... A>
    bool removeFunction(R (*fn)(A...)) {
        return remove(Delegate::function(fn));
    }

    bool contains(const Delegate& delegate) const;

    // Calls every delegate in insertion order with the argument; stops early when a
    // delegate sets the stop flag. The flag is cleared when a run starts.
    void invoke(DelegateArg arg = 0);

    // Asks the running invoke to stop after the current delegate.
    void stop() { stopRequested = true; }
    bool isStopped() const { return stopRequested; }

    void clear();
    std::size_t size() const;
    bool empty() const { return size() == 0; }

private:
    struct Run {
        bool listDestroyed = false;
        Run* outer = nullptr;
    };

    void compact();

    std::vector<std::unique_ptr<Delegate>> entries; // null: removed during a run
    Run* activeRun = nullptr;
    bool stopRequested = false;
};

// Calls every listener of a list in order, stopping when one sets the list's stop flag.
inline void dispatchEvent(DelegateList& list) { list.invoke(); }
// The same, handing every listener a pointer to the argument.
template <class T>
void dispatchEvent(DelegateList& list, T& argument) {
    list.invoke(reinterpret_cast<DelegateArg>(&argument));
}

// The one binder behind the named binders of the screens and widgets: wraps a member
// function of an object into a delegate and adds it to the list.
template <class T, class R, class... A>
void bindCallback(DelegateList& list, T* obj, R (T::*fn)(A...)) {
    list.addMember(obj, fn);
}
template <class T, class R, class... A>
bool unbindCallback(DelegateList& list, T* obj, R (T::*fn)(A...)) {
    return list.removeMember(obj, fn);
}
