/* Loaded into the tests of scripts/tsan.sh only. The toolkit starts child
 * processes (the virtual instrument) with clone(CLONE_VM | CLONE_VFORK): the
 * child runs in the parent's memory until it executes the program, and the
 * sanitizer's clone hook, run in the child, then changes the parent thread's
 * own state: from then on the sanitizer ignores that thread's locks and
 * reports races on everything they guard. Here such a clone becomes a plain
 * copy of the process, which the sanitizer follows. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sched.h>
#include <stdarg.h>

typedef int (*clone_function)(int (*)(void *), void *, int, void *, ...);

int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    static clone_function next;
    va_list rest;
    va_start(rest, arg);
    void *parent_tid = va_arg(rest, void *);
    void *tls = va_arg(rest, void *);
    void *child_tid = va_arg(rest, void *);
    va_end(rest);
    if (!next)
        next = (clone_function)dlsym(RTLD_NEXT, "clone");
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK))
        flags &= ~(CLONE_VM | CLONE_VFORK);
    return next(fn, stack, flags, arg, parent_tid, tls, child_tid);
}
