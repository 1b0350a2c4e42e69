// Result codes shared by the readers, the writer and the front end.
#pragma once

enum Status : int {
    StatusOk = 85,
    StatusFail = 80,       // allocation failure, unreadable input, resource over 65536 bytes
    StatusBadFormat = 88,  // codes in more than one row
};
