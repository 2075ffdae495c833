// Lets code that calls out to event handlers find out whether its own object
// was destroyed by one of those handlers.
//
// An object that raises events holds a GuardList member. Before calling a
// handler, the caller opens a GuardList::Scope on the stack; after the call it
// asks the scope whether the object still exists and, if not, returns at once
// without touching any member. The list's destructor marks every open scope,
// so the check costs no allocation.
//
// Only the socket layer uses it: its users may delete a socket inside the
// socket's own events. Everything above follows the deferred-deletion rule of
// message_loop.h instead.
#pragma once

namespace mv {

// A scope stores its own address in the list for the time it lives and takes
// it out again in its destructor; GCC cannot see that and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif

class GuardList {
  public:
    class Scope {
      public:
        explicit Scope(GuardList& list) : list_(&list), prev_(list.top_) { list.top_ = this; }
        ~Scope() {
            if (list_ != nullptr) list_->top_ = prev_;
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        // True when the object that owns the list has been destroyed.
        bool Destroyed() const { return list_ == nullptr; }

      private:
        friend class GuardList;
        GuardList* list_;
        Scope* prev_;
    };

    GuardList() = default;
    GuardList(const GuardList&) = delete;
    GuardList& operator=(const GuardList&) = delete;
    ~GuardList() {
        for (Scope* s = top_; s != nullptr; s = s->prev_)
            s->list_ = nullptr;
    }

  private:
    Scope* top_ = nullptr;
};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace mv
