#include <Diagnostics/Sensors/AxisTestViewController.h>

#include "SensorLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSubject.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSTextAttachment.h>
#include <UIKit/UIImage.h>
#include <UIKit/UILabel.h>

#include <cmath>

NS_IMPLEMENT_CLASS(AxisTestViewController, DXBaseViewController) {
    using A = AxisTestViewController;
    b.property("x", &A::x, &A::setX, "weak");
    b.property("y", &A::y, &A::setY, "weak");
    b.property("z", &A::z, &A::setZ, "weak");
    b.property("tipLabel", &A::tipLabel, &A::setTipLabel, "weak");
}

namespace {

const char* kAxisNames[] = {"X", "Y", "Z"};

} // namespace

void AxisTestViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    const Texts& t = texts();
    for (NSInteger i = 0; i < 3; ++i) {
        if (auto label = axisLabel(i)) {
            label->setText(DXLocalizedString(t.captions[i]));
        }
    }
    setSubItemlist(dx_sensors::subItems({"X axis", "Y axis", "Z axis"}));
    setMotionManager(make<CMMotionManager>());

    Weak<AxisTestViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
            // A stage that the last disappearance cut starts again.
            if (self->stageCut_ && !self->isCompleted()) {
                self->stageCut_ = false;
                self->startStage(self->stage_);
            }
        } else {
            self->stopSensor();
            NSLog("stop motion.");
        }
    });

    showStage(0);
    startStage(0);
    choose()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->gotoResultView();
        }
    });
}

void AxisTestViewController::showStage(NSInteger axis) {
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedStringWithArguments(NSString::from(texts().tip), {kAxisNames[axis]}));
    }
    if (auto image = hintImage()) {
        image->setImage(UIImage::imageNamed(NSString::from(texts().images[axis])));
    }
}

void AxisTestViewController::startStage(NSInteger axis) {
    stage_ = axis;
    Weak<AxisTestViewController> weak(this);
    auto signal = motionSignal(axis);
    if (axis == 2) {
        signal = signal->logAll();
    }
    signal->takeUntil(disappear())
        ->subscribeNextErrorCompleted(
            [weak, axis](const id& sample) {
                auto self = weak.lock();
                auto dict = cast<NSDictionary>(sample);
                if (!self || !dict) {
                    return;
                }
                double value = unbox<double>(dict->objectForKey("value"_ns));
                if (auto label = self->axisLabel(axis)) {
                    label->setText(DXLocalizedStringWithArguments(NSString::from(self->texts().values[axis]), {value}));
                }
            },
            [weak, axis](const Ref<NSError>&) {
                auto self = weak.lock();
                if (!self || self->isCompleted() || !self->info()) {
                    return;
                }
                self->info()->setResult(DXTestResultTimeout);
                if (self->texts().hideHintAtEnd) {
                    if (auto image = self->hintImage()) {
                        image->setHidden(true);
                    }
                }
                dx_sensors::markSubItem(self->subItemlist(), static_cast<NSUInteger>(axis), 2);
                self->gotoResultView();
            },
            [weak, axis] {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                if (!self->flag(axis)) {
                    self->stageCut_ = true; // the screen went away
                    return;
                }
                self->addSuccessImageInLabelString(self->axisLabel(axis),
                                                   DXLocalizedString(self->texts().captions[axis]));
                dx_sensors::markSubItem(self->subItemlist(), static_cast<NSUInteger>(axis), 1);
                if (axis < 2) {
                    self->showStage(axis + 1);
                    self->startStage(axis + 1);
                    return;
                }
                if (self->texts().hideHintAtEnd) {
                    if (auto image = self->hintImage()) {
                        image->setHidden(true);
                    }
                }
                if (self->info()) {
                    self->info()->setResult(DXTestResultPass);
                }
                self->gotoResultView();
            });
}

Ref<RXSignal> AxisTestViewController::signal111(NSInteger axis) {
    if (!sensorAvailable()) {
        // Failing a subject before anybody listens would be lost: the stage fails as it starts.
        return RXSignal::error(make<NSError>("com.vantrel.dx"_ns, 1000));
    }
    auto subject = RXSubject::subject();
    Weak<AxisTestViewController> weak(this);
    // The sensor's handler keeps the subject until the sensor stops.
    startSensor(0.1, [weak, subject, axis](bool hasSample, const double values[3], const Ref<NSError>& error) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (!hasSample || error) {
            subject->sendError(error ? error : make<NSError>("com.vantrel.dx"_ns, 1001));
            return;
        }
        double reading = values[axis];
        if (!std::isfinite(reading)) {
            return; // not a reading
        }
        if (reading > 0.5 && !self->flag(axis)) {
            self->setFlag(axis);
            subject->sendCompleted();
            return;
        }
        auto sample = NSMutableDictionary::dictionary();
        sample->setObjectForKey(NSNumber::numberWithInteger(axis), "name"_ns);
        sample->setObjectForKey(NSNumber::numberWithDouble(reading), "value"_ns);
        subject->sendNext(sample);
    });
    return subject;
}

Ref<RXSignal> AxisTestViewController::motionSignal(NSInteger axis) {
    Weak<AxisTestViewController> weak(this);
    return RXSignal::createSignal([weak, axis](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        if (!self) {
            subscriber->sendCompleted();
            return nullptr;
        }
        double limit = dx_sensors::timeLimit(self->info() ? self->info()->timeout() : 0);
        auto serial = make<RXSerialDisposable>();
        serial->setDisposable(
            self->signal111(axis)
                ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
                ->subscribeNextErrorCompleted([subscriber](const id& value) { subscriber->sendNext(value); },
                                              [weak, subscriber](const Ref<NSError>& error) {
                                                  if (auto self = weak.lock()) {
                                                      self->stopSensor();
                                                  }
                                                  subscriber->sendError(error);
                                              },
                                              [weak, subscriber] {
                                                  if (auto self = weak.lock()) {
                                                      self->stopSensor();
                                                  }
                                                  subscriber->sendCompleted();
                                              }));
        return serial;
    });
}

void AxisTestViewController::addSuccessImageInLabelString(const Ref<UILabel>& label, const Ref<NSString>& string) {
    if (!label) {
        return;
    }
    auto text = make<NSMutableAttributedString>(string ? string : ""_ns);
    auto mark = make<NSTextAttachment>();
    mark->setImage(UIImage::imageNamed("icon_small_success"_ns));
    if (auto image = mark->image()) {
        // Centred on the caption's letters rather than standing on its baseline.
        mark->setBounds(CGRectMake(0, -3, image->size().width, image->size().height));
    }
    text->appendAttributedString(NSAttributedStringWithAttachment(mark));
    label->setAttributedText(text);
}

Ref<UILabel> AxisTestViewController::axisLabel(NSInteger axis) const {
    return axis == 0 ? x() : axis == 1 ? y() : z();
}

bool AxisTestViewController::flag(NSInteger axis) const {
    return axis == 0 ? x_value() : axis == 1 ? y_value() : z_value();
}

void AxisTestViewController::setFlag(NSInteger axis) {
    if (axis == 0) {
        setX_value(true);
    } else if (axis == 1) {
        setY_value(true);
    } else {
        setZ_value(true);
    }
}
