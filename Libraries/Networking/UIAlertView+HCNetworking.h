// Alerts that show a task's or a request operation's error when it finishes with one, at most once.
#pragma once

#include <Networking/HCURLConnectionOperation.h>

#include <Network/NSURLSessionTask.h>
#include <UIKit/UIAlertView.h>

// The cancel button is the localised "Dismiss".
void showAlertViewForTaskWithErrorOnCompletionDelegate(const Ref<NSURLSessionTask>& task, const id& delegate);
void showAlertViewForTaskWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
    const Ref<NSURLSessionTask>& task, const id& delegate, const Ref<NSString>& cancelButtonTitle,
    const std::vector<Ref<NSString>>& otherButtonTitles);
void showAlertViewForRequestOperationWithErrorOnCompletionDelegate(const Ref<HCURLConnectionOperation>& operation,
                                                                   const id& delegate);
void showAlertViewForRequestOperationWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
    const Ref<HCURLConnectionOperation>& operation, const id& delegate, const Ref<NSString>& cancelButtonTitle,
    const std::vector<Ref<NSString>>& otherButtonTitles);
