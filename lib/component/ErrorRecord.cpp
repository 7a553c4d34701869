#include "lib/component/ErrorRecord.h"

#include "platform/com/Runtime.h"

namespace zenolith {

com::HRESULT ReportError(const ErrorRecord& record, const com::IID& iid, std::string_view source) {
  if (!record.IsSet()) return com::S_OK;
  com::SetErrorInfo({record.message, iid, std::string(source)});
  return StatusForError(record.number);
}

}  // namespace zenolith
