#pragma once
// Every port a whole session window needs, recorded, for the tests that drive a
// TfrmClientForm through its events. A test adds the ports its case is about.
#include <memory>
#include <string>

#include "launch/KivFile.h"
#include "session/ClientForm.h"
#include "session/RecordingControl.h"
#include "support/FakeMachineSettings.h"
#include "support/ManualClock.h"
#include "support/SessionFakes.h"
#include "support/TempDir.h"

namespace kiv::test {

struct ClientFormFakes {
    TClientFormPorts Ports(ISessionWindowView& window) {
        TClientFormPorts ports{control, window, progress, box, prompt, clock, app, machine, desktop, handOver, processes};
        ports.createPortMapper = [this] { return std::make_unique<TRecordingPortMapper>(control.MutableCalls()); };
        ports.fingerPrint = [] { return std::string("FP"); };
        return ports;
    }

    TempDir files;
    ScopedEnv configHome{"XDG_CONFIG_HOME", files.path().string()};
    TRecordingControl control;
    FakeProgressView progress;
    FakeMessageBox box;
    FakePrompt prompt;
    ManualClock clock;
    FakeApplication app;
    FakeMachineSettings machine;
    FakeDesktop desktop;
    FakeHandOver handOver;
    FakeProcesses processes;
    TKIVFile record;
};

}  // namespace kiv::test
