// Writes rendered frames on a thread of its own, so that frame k goes to disk while frame k+1
// renders. One frame is in flight at a time: handing over the next one first waits for the last.
#pragma once

#include <string>
#include <thread>

#include "hostkit/World.h"

namespace seavast_app {

class FrameWriter {
public:
    explicit FrameWriter(int compression) : compression_(compression) {}
    ~FrameWriter() { finish(); }
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Waits for the frame in flight, then starts writing `image` to `path` (atomically: a failed
    // write leaves no file). Returns the error of the frame that was in flight, empty when it was
    // written; after an error nothing further is started.
    std::string write(const std::string& path, hostkit::World&& image);
    // Waits for the frame in flight; its error, empty when it was written.
    std::string finish();

private:
    int compression_;
    std::thread thread_;
    hostkit::World image_;
    std::string path_, error_;
};

} // namespace seavast_app
