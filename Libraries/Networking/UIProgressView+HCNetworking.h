// Progress views that follow a task's or a request operation's bytes.
#pragma once

#include <Networking/HCURLConnectionOperation.h>

#include <Network/NSURLSessionTask.h>
#include <UIKit/UIProgressView.h>

void setProgressWithUploadProgressOfTaskAnimated(const Ref<UIProgressView>& self, const Ref<NSURLSessionTask>& task,
                                                 bool animated);
void setProgressWithDownloadProgressOfTaskAnimated(const Ref<UIProgressView>& self, const Ref<NSURLSessionTask>& task,
                                                   bool animated);
// The operation's progress block is replaced by one that moves the view (this library's operations
// do not hand out the block they had, so an earlier block is not called any more).
void setProgressWithUploadProgressOfOperationAnimated(const Ref<UIProgressView>& self,
                                                      const Ref<HCURLConnectionOperation>& operation, bool animated);
void setProgressWithDownloadProgressOfOperationAnimated(const Ref<UIProgressView>& self,
                                                        const Ref<HCURLConnectionOperation>& operation, bool animated);
bool hc_uploadProgressAnimated(const Ref<UIProgressView>& self);
void hc_setUploadProgressAnimated(const Ref<UIProgressView>& self, bool animated);
bool hc_downloadProgressAnimated(const Ref<UIProgressView>& self);
void hc_setDownloadProgressAnimated(const Ref<UIProgressView>& self, bool animated);
