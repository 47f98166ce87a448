#include "comm_failure.h"

#include <cerrno>

namespace platform::comm {
namespace {

CommFailure& Last() {
  static thread_local CommFailure failure;
  return failure;
}

}  // namespace

DWORD ErrorFromErrno(int systemError) {
  switch (systemError) {
    case 0: return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EBUSY:
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOTTY:
    case EISDIR: return ERROR_NOT_SUPPORTED;
    case EIO:
    case ENXIO:
    case ENODEV: return ERROR_DEVICE_NOT_CONNECTED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ECANCELED: return ERROR_OPERATION_ABORTED;
    default: return ERROR_GEN_FAILURE;
  }
}

BOOL Fail(CommFailure failure) {
  SetLastError(ErrorFromErrno(failure.systemError));
  Last() = std::move(failure);
  return FALSE;
}

const CommFailure& LastFailure() { return Last(); }
void ClearLastFailure() { Last() = {}; }

bool IsLineLostError(int systemError) {
  return systemError == EIO || systemError == ENXIO || systemError == ENODEV;
}

}  // namespace platform::comm
