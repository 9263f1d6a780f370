// A file system that never answers a lookup, as a failing stick or a dead
// share behaves: whoever looks for a name inside it waits until the file
// system goes away. Mounts itself at argv[1] and serves until killed.
#define FUSE_USE_VERSION 34
#include <fuse_lowlevel.h>
#include <sys/stat.h>

#include <cstdio>

void getattr(fuse_req_t request, fuse_ino_t inode, struct fuse_file_info* file) {
    (void)file;
    struct stat status {};
    status.st_ino = inode;
    status.st_mode = S_IFDIR | 0755;
    status.st_nlink = 2;
    fuse_reply_attr(request, &status, 0);
}

// The request is dropped unanswered: the caller waits for good.
void lookup(fuse_req_t request, fuse_ino_t parent, const char* name) {
    (void)request;
    (void)parent;
    (void)name;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MOUNTPOINT\n", argv[0]);
        return 2;
    }
    static const struct fuse_lowlevel_ops operations = {.lookup = lookup, .getattr = getattr};
    char* arguments[] = {argv[0], nullptr};
    struct fuse_args fuseArguments = FUSE_ARGS_INIT(1, arguments);
    struct fuse_session* session = fuse_session_new(&fuseArguments, &operations, sizeof operations, nullptr);
    if (!session || fuse_session_mount(session, argv[1]) != 0) return 1;
    return fuse_session_loop(session) == 0 ? 0 : 1;
}
