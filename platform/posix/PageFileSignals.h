// Removal of named page files when a signal ends the program, and holding signals back while
// such a name is made or moved.
#pragma once

#include <signal.h>

#include <string>

namespace horofu {

// A named file that a signal ending the program removes; null when every slot is taken.
struct NamedFileSlot;

// Installs the handler once, before the first named file. A signal the program was started
// with ignored (nohup) stays ignored. Called by the page files and the scratch file.
void RemoveNamedFilesOnSignals();

// Called with the ending signals held: the file name in folder goes if a signal ends the
// program, until Disarm.
NamedFileSlot* Arm(int folder, const std::string& name);
void Disarm(NamedFileSlot*& slot);

// Holds the asynchronous ending signals back while a name is created and armed, or a page
// moved into place, so that no signal falls between the two steps.
class SignalsHeld {
  public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t old_;
};

}  // namespace horofu
