#pragma once
// A shell that records every request and answers what the test tells it to.
#include <vector>

#include "platform/Shell.h"

namespace tess::testing {

class RecordingShell : public ShellServices {
 public:
  std::vector<FileOperationRequest> fileOperations;
  std::vector<FileInfoRequest> fileInfos;
  std::vector<ShellExecuteExRequest> executeExs;
  std::vector<ShellExecuteRequest> executes;
  std::vector<AssocQueryRequest> assocQueries;

  FileOperationResult nextFileOperation{};
  FileInfoResult nextFileInfo{};
  ShellExecuteExResult nextExecuteEx{};
  std::intptr_t nextExecute = 0;
  std::u16string nextAssoc;

  FileOperationResult FileOperation(const FileOperationRequest& r) override {
    fileOperations.push_back(r);
    return nextFileOperation;
  }
  FileInfoResult GetFileInfo(const FileInfoRequest& r) override {
    fileInfos.push_back(r);
    return nextFileInfo;
  }
  ShellExecuteExResult ExecuteEx(const ShellExecuteExRequest& r) override {
    executeExs.push_back(r);
    return nextExecuteEx;
  }
  std::intptr_t Execute(const ShellExecuteRequest& r) override {
    executes.push_back(r);
    return nextExecute;
  }
  std::u16string QueryAssociation(const AssocQueryRequest& r) override {
    assocQueries.push_back(r);
    return nextAssoc;
  }
};

}  // namespace tess::testing
