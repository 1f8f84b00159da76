// Get Records: probe the instrument, take the port, receive every stored
// record and write the records text file.
#pragma once

#include "device/transfer_guard.h"

#include <QString>

namespace ventaro {

struct DownloadResult {
    TransferOutcome outcome;
    int records = 0;   // record lines written
    int expected = 0;  // records the instrument announced
    QString path;      // the records file, once one was written
};

DownloadResult RunRecordsDownload();

}  // namespace ventaro
