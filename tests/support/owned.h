// A reminder record owned by a test, freed when it goes out of scope.
#pragma once

#include "reminders.h"

struct Owned {
    Reminder* r;
    explicit Owned(Reminder* x) : r(x) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { freeReminder(r); }
    Reminder* operator->() const { return r; }
    operator Reminder*() const { return r; }
};
