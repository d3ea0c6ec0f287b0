#include <UIKit/UIKitProtocols.h>

namespace {

using Methods = std::vector<ObjCMethodDescription>;

Protocol* define(const char* name, Methods required, Methods optional, std::vector<Protocol*> inherits = {}) {
    return objc_registerProtocol(new Protocol(name, std::move(required), std::move(optional), std::move(inherits)));
}

} // namespace

Protocol* UIScrollViewDelegateProtocol() {
    static Protocol* p = define("UIScrollViewDelegate", {},
                                {{"scrollViewDidScroll:", "v@:@"},
                                 {"scrollViewWillBeginDragging:", "v@:@"},
                                 {"scrollViewDidEndDragging:willDecelerate:", "v@:@B"},
                                 {"scrollViewDidEndDecelerating:", "v@:@"}});
    return p;
}

Protocol* UIApplicationDelegateProtocol() {
    static Protocol* p = define("UIApplicationDelegate", {},
                                {{"application:willFinishLaunchingWithOptions:", "B@:@@"},
                                 {"application:didFinishLaunchingWithOptions:", "B@:@@"},
                                 {"applicationDidBecomeActive:", "v@:@"},
                                 {"applicationWillResignActive:", "v@:@"},
                                 {"applicationDidEnterBackground:", "v@:@"},
                                 {"applicationWillEnterForeground:", "v@:@"},
                                 {"applicationWillTerminate:", "v@:@"},
                                 {"applicationDidReceiveMemoryWarning:", "v@:@"},
                                 {"application:openURL:options:", "B@:@@@"},
                                 {"application:handleOpenURL:", "B@:@@"},
                                 {"application:didReceiveLocalNotification:", "v@:@@"}});
    return p;
}

Protocol* UITableViewDataSourceProtocol() {
    static Protocol* p =
        define("UITableViewDataSource",
               {{"tableView:numberOfRowsInSection:", "q@:@q"}, {"tableView:cellForRowAtIndexPath:", "@@:@@"}},
               {{"numberOfSectionsInTableView:", "q@:@"},
                {"tableView:titleForHeaderInSection:", "@@:@q"},
                {"tableView:titleForFooterInSection:", "@@:@q"}});
    return p;
}

Protocol* UITableViewDelegateProtocol() {
    static Protocol* p = define("UITableViewDelegate", {},
                                {{"tableView:heightForRowAtIndexPath:", "d@:@@"},
                                 {"tableView:heightForHeaderInSection:", "d@:@q"},
                                 {"tableView:heightForFooterInSection:", "d@:@q"},
                                 {"tableView:viewForHeaderInSection:", "@@:@q"},
                                 {"tableView:viewForFooterInSection:", "@@:@q"},
                                 {"tableView:willDisplayCell:forRowAtIndexPath:", "v@:@@@"},
                                 {"tableView:didEndDisplayingCell:forRowAtIndexPath:", "v@:@@@"},
                                 {"tableView:shouldHighlightRowAtIndexPath:", "B@:@@"},
                                 {"tableView:willSelectRowAtIndexPath:", "@@:@@"},
                                 {"tableView:didSelectRowAtIndexPath:", "v@:@@"},
                                 {"tableView:willDeselectRowAtIndexPath:", "@@:@@"},
                                 {"tableView:didDeselectRowAtIndexPath:", "v@:@@"}},
                                {UIScrollViewDelegateProtocol()});
    return p;
}

Protocol* UIAlertViewDelegateProtocol() {
    static Protocol* p = define("UIAlertViewDelegate", {},
                                {{"alertView:clickedButtonAtIndex:", "v@:@q"},
                                 {"alertViewCancel:", "v@:@"},
                                 {"willPresentAlertView:", "v@:@"},
                                 {"didPresentAlertView:", "v@:@"},
                                 {"alertView:willDismissWithButtonIndex:", "v@:@q"},
                                 {"alertView:didDismissWithButtonIndex:", "v@:@q"},
                                 {"alertViewShouldEnableFirstOtherButton:", "B@:@"}});
    return p;
}

Protocol* UIActionSheetDelegateProtocol() {
    static Protocol* p = define("UIActionSheetDelegate", {},
                                {{"actionSheet:clickedButtonAtIndex:", "v@:@q"},
                                 {"actionSheetCancel:", "v@:@"},
                                 {"willPresentActionSheet:", "v@:@"},
                                 {"didPresentActionSheet:", "v@:@"},
                                 {"actionSheet:willDismissWithButtonIndex:", "v@:@q"},
                                 {"actionSheet:didDismissWithButtonIndex:", "v@:@q"}});
    return p;
}

Protocol* UITextFieldDelegateProtocol() {
    static Protocol* p = define("UITextFieldDelegate", {},
                                {{"textFieldShouldBeginEditing:", "B@:@"},
                                 {"textFieldDidBeginEditing:", "v@:@"},
                                 {"textFieldShouldEndEditing:", "B@:@"},
                                 {"textFieldDidEndEditing:", "v@:@"},
                                 {"textField:shouldChangeCharactersInRange:replacementString:", "B@:@{_NSRange=QQ}@"},
                                 {"textFieldShouldClear:", "B@:@"},
                                 {"textFieldShouldReturn:", "B@:@"}});
    return p;
}

Protocol* UITextViewDelegateProtocol() {
    static Protocol* p = define("UITextViewDelegate", {},
                                {{"textViewShouldBeginEditing:", "B@:@"},
                                 {"textViewShouldEndEditing:", "B@:@"},
                                 {"textViewDidBeginEditing:", "v@:@"},
                                 {"textViewDidEndEditing:", "v@:@"},
                                 {"textView:shouldChangeTextInRange:replacementText:", "B@:@{_NSRange=QQ}@"},
                                 {"textViewDidChange:", "v@:@"},
                                 {"textViewDidChangeSelection:", "v@:@"}},
                                {UIScrollViewDelegateProtocol()});
    return p;
}

Protocol* UIGestureRecognizerDelegateProtocol() {
    static Protocol* p = define("UIGestureRecognizerDelegate", {},
                                {{"gestureRecognizerShouldBegin:", "B@:@"},
                                 {"gestureRecognizer:shouldReceiveTouch:", "B@:@@"},
                                 {"gestureRecognizer:shouldRecognizeSimultaneouslyWithGestureRecognizer:", "B@:@@"}});
    return p;
}

Protocol* UINavigationControllerDelegateProtocol() {
    static Protocol* p = define("UINavigationControllerDelegate", {},
                                {{"navigationController:willShowViewController:animated:", "v@:@@B"},
                                 {"navigationController:didShowViewController:animated:", "v@:@@B"}});
    return p;
}

Protocol* UIImagePickerControllerDelegateProtocol() {
    static Protocol* p = define("UIImagePickerControllerDelegate", {},
                                {{"imagePickerController:didFinishPickingMediaWithInfo:", "v@:@@"},
                                 {"imagePickerControllerDidCancel:", "v@:@"}});
    return p;
}

Protocol* UIViewControllerPreviewingDelegateProtocol() {
    static Protocol* p = define("UIViewControllerPreviewingDelegate",
                                {{"previewingContext:viewControllerForLocation:", "@@:@{CGPoint=dd}"},
                                 {"previewingContext:commitViewController:", "v@:@@"}},
                                {});
    return p;
}

namespace {
// Registered when the program starts, so that NSProtocolFromString finds them by name.
[[maybe_unused]] const bool registered = [] {
    UIApplicationDelegateProtocol();
    UITableViewDataSourceProtocol();
    UITableViewDelegateProtocol();
    UIAlertViewDelegateProtocol();
    UIActionSheetDelegateProtocol();
    UITextFieldDelegateProtocol();
    UITextViewDelegateProtocol();
    UIGestureRecognizerDelegateProtocol();
    UINavigationControllerDelegateProtocol();
    UIImagePickerControllerDelegateProtocol();
    UIViewControllerPreviewingDelegateProtocol();
    return true;
}();
} // namespace
