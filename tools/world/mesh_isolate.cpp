// Mesh import in a child process (see mesh_isolate.h). The child writes one answer to a pipe:
// "QVMI", a byte saying whether the import worked, then either the error text or the position
// and triangle arrays, each after its count. The parent trusts none of it: counts are checked
// against the bytes that came, and every index against the positions.
#include "tools/world/mesh_isolate.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <vector>

#include "tools/world/mesh_import.h"

#if defined(__SANITIZE_ADDRESS__)
#define QV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_ASAN 1
#endif
#endif

namespace {

const int kDefaultMilliseconds = 120000;
[[maybe_unused]] const uint64_t kDefaultAddressSpace = uint64_t(8) << 30;
// The largest answer the parent accepts: the importer's triangle limit in full, with room.
const size_t kMaxAnswer = size_t(1) << 30;

// Zero means the default.
struct IsolationState {
    bool inProcess;
    int milliseconds;
    uint64_t addressSpace;
    void (*childHook)();
};
IsolationState state;

static_assert(sizeof(Vec3) == 12, "positions travel as three floats each");
// A triangle travels as its corners and their texture coordinates; adjacency is not sent.
const size_t kTriBytes = sizeof(MeshTri::v) + sizeof(MeshTri::uv);

void put(std::vector<uint8_t>& out, const void* p, size_t n) {
    const size_t at = out.size();
    out.resize(at + n);
    if (n) std::memcpy(out.data() + at, p, n);
}

void putU32(std::vector<uint8_t>& out, uint32_t v) { put(out, &v, 4); }

std::vector<uint8_t> encode(bool ok, const Mesh& mesh, const std::string& error) {
    std::vector<uint8_t> out;
    put(out, "QVMI", 4);
    out.push_back(ok ? 1 : 0);
    if (!ok) {
        putU32(out, uint32_t(error.size()));
        put(out, error.data(), error.size());
        return out;
    }
    out.reserve(out.size() + 8 + mesh.positions.size() * 12 + mesh.triangles.size() * kTriBytes);
    putU32(out, uint32_t(mesh.positions.size()));
    put(out, mesh.positions.data(), mesh.positions.size() * 12);
    putU32(out, uint32_t(mesh.triangles.size()));
    for (const MeshTri& t : mesh.triangles) {
        put(out, t.v, sizeof t.v);
        put(out, t.uv, sizeof t.uv);
    }
    return out;
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool get(void* p, size_t n) {
        if (n > bytes_.size() - at_) return false;
        if (n) std::memcpy(p, bytes_.data() + at_, n);
        at_ += n;
        return true;
    }
    size_t left() const { return bytes_.size() - at_; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

// The child's answer back into a mesh or an error; false when the answer is not whole.
bool decode(const std::vector<uint8_t>& bytes, bool& ok, Mesh& mesh, std::string& error) {
    Reader r(bytes);
    char magic[4];
    uint8_t flag = 0;
    uint32_t n = 0;
    if (!r.get(magic, 4) || std::memcmp(magic, "QVMI", 4) != 0 || !r.get(&flag, 1) || !r.get(&n, 4)) return false;
    ok = flag == 1;
    if (!ok) {
        if (n > r.left()) return false;
        error.assign(n, '\0');
        return r.get(&error[0], n) && r.left() == 0;
    }
    if (uint64_t(n) * 12 > r.left()) return false;
    mesh.positions.resize(n);
    r.get(mesh.positions.data(), size_t(n) * 12);
    uint32_t count = 0;
    if (!r.get(&count, 4) || uint64_t(count) * kTriBytes != r.left()) return false;
    mesh.triangles.resize(count);
    for (MeshTri& t : mesh.triangles) {
        r.get(t.v, sizeof t.v);
        r.get(t.uv, sizeof t.uv);
        for (int k = 0; k < 3; ++k) {
            if (t.v[k] >= n) return false;
            t.adj[k] = -1;
        }
    }
    return true;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += size_t(w);
    }
    return true;
}

[[noreturn]] void runChild(int fd, const std::string& path, const std::string& node) {
    const rlimit noCore{0, 0};  // a crashing importer leaves no core file behind
    setrlimit(RLIMIT_CORE, &noCore);
#ifndef QV_ASAN
    const rlimit limit{state.addressSpace ? state.addressSpace : kDefaultAddressSpace,
                       state.addressSpace ? state.addressSpace : kDefaultAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
#endif
    // Nothing may unwind out of the child into the parent's code it was forked from: an exception
    // (std::bad_alloc at the memory limit above all) ends it like a crash, by a signal.
    try {
        if (state.childHook) state.childHook();
        Mesh mesh;
        std::string error;
        const bool ok = importMeshFile(path, node, mesh, error);
        // _exit: the parent's atexit handlers and stdio buffers belong to the parent.
        ::_exit(writeAll(fd, encode(ok, mesh, error)) ? 0 : 3);
    } catch (...) {
        std::abort();
    }
}

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

// Reads the child's answer until it closes the pipe; false when the deadline or the size limit
// comes first.
bool readAnswer(int fd, Clock::time_point deadline, std::vector<uint8_t>& out) {
    uint8_t chunk[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (out.size() + size_t(n) > kMaxAnswer) return false;
        out.insert(out.end(), chunk, chunk + n);
    }
}

// Waits for the child until the deadline, then kills it; returns its wait status.
int reap(pid_t child, Clock::time_point deadline) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(child, &status, WNOHANG);
        if (r == child) return status;
        if (r < 0 && errno != EINTR) return 0;
        if (Clock::now() >= deadline) break;
        ::usleep(1000);
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

bool importMeshIsolated(const std::string& path, const std::string& node, Mesh& mesh, std::string& error) {
    if (state.inProcess) return importMeshFile(path, node, mesh, error);
    mesh = Mesh{};
    const std::string failed = "cannot read \"" + path + "\": the importer failed";
    int fds[2];
    if (::pipe(fds) != 0) {
        error = failed + " (no pipe: " + std::strerror(errno) + ")";
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = failed + " (no child process: " + std::strerror(errno) + ")";
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        runChild(fds[1], path, node);
    }
    ::close(fds[1]);
    const auto deadline = Clock::now() + std::chrono::milliseconds(state.milliseconds ? state.milliseconds
                                                                                       : kDefaultMilliseconds);
    std::vector<uint8_t> answer;
    const bool whole = readAnswer(fds[0], deadline, answer);
    ::close(fds[0]);
    if (!whole) ::kill(child, SIGKILL);  // past the time limit, or answering more than any mesh needs
    const int status = reap(child, deadline);
    if (WIFSIGNALED(status)) {
        error = failed + " (signal " + std::to_string(WTERMSIG(status)) + ")";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = failed + " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return false;
    }
    bool ok = false;
    if (!decode(answer, ok, mesh, error)) {
        mesh = Mesh{};
        error = failed + " (its answer is incomplete)";
        return false;
    }
    return ok;
}

void setMeshImportIsolated(bool isolated) { state.inProcess = !isolated; }

void setMeshImportLimits(int milliseconds, uint64_t addressSpaceBytes) {
    state.milliseconds = milliseconds;
    state.addressSpace = addressSpaceBytes;
}

void setMeshImportChildHook(void (*hook)()) { state.childHook = hook; }

void resetMeshIsolation() { state = IsolationState{}; }
