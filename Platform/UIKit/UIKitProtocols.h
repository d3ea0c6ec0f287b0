// The delegate and data-source protocols of the user-interface framework, registered with the
// runtime with their method descriptions (type encodings), so that NSProtocolFromString finds them
// and delegate proxies can answer for them.
#pragma once

#include <Runtime/Runtime.h>

Protocol* UIApplicationDelegateProtocol();
Protocol* UITableViewDataSourceProtocol();
Protocol* UITableViewDelegateProtocol();
Protocol* UIScrollViewDelegateProtocol();
Protocol* UIAlertViewDelegateProtocol();
Protocol* UIActionSheetDelegateProtocol();
Protocol* UITextFieldDelegateProtocol();
Protocol* UITextViewDelegateProtocol();
Protocol* UIGestureRecognizerDelegateProtocol();
Protocol* UINavigationControllerDelegateProtocol();
Protocol* UIImagePickerControllerDelegateProtocol();
Protocol* UIViewControllerPreviewingDelegateProtocol();
