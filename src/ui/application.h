#pragma once
// The application object: owns the forms, runs the message loop, and is where every exception that
// escapes an event handler ends (OnException, else the standard message box).
//
// The program's one application (Application()) is made on first use and never destroyed; the
// program's entry destroys its forms with DestroyForms before it returns. Its per-run state (the
// message-box hook, OnException, the terminated flag) goes back to the start with ResetRunState.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/classes.h"
#include "ui/forms.h"

namespace tav {

using TExceptionEvent = std::function<void(TObject* sender, const Exception& e)>;
// Replaces the system message box (tests record what would have been shown); returns the button.
using TMessageBoxHook = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

// A form of a registered class (base or a descendant), owned by owner, loaded from the resource named
// after its class, with OnCreate fired. A failure destroys the half-made form and propagates.
std::unique_ptr<TForm> CreateFormFromLayout(const TClassInfo& formClass, TComponent* owner,
                                            const TClassInfo& base = TForm::StaticClassInfo());

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Common controls, DPI awareness, and the message pump hook that long operations call (installed
  // as the hook's start value, which a reset of the run state keeps).
  void Initialize();

  // Creates a form owned by the application and loads it from the resource named after its class;
  // OnCreate fires after loading. The first form whose creation completes becomes the main form,
  // so that the main form is not set while the first one is still loading. A failure destroys the
  // half-made form and propagates.
  TForm* CreateForm(const TClassInfo& formClass);
  template <class T>
  T* CreateForm() {
    return static_cast<T*>(CreateForm(T::StaticClassInfo()));
  }

  // Shows the main form (unless told not to), makes the calls asked for with RunAtStart, and processes
  // messages until Terminate. Returns at once when Terminate was called before.
  void Run();
  // False: Run leaves the main form hidden (a program that shows no window).
  void SetShowMainForm(bool value) { showMainForm_ = value; }
  bool ShowMainForm() const { return showMainForm_; }
  // A call Run makes once, before it waits for the first message (what starts a program that shows
  // no window, since no form is ever activated).
  void RunAtStart(std::function<void()> call) { atStart_.push_back(std::move(call)); }
  // The loop ends once the handler now running returns; the code after the call still runs.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Processes every pending message, then returns.
  void ProcessMessages();
  // Processes one message, or waits for one when none is pending.
  void HandleMessage();

  // Destroys the forms the application still owns, while everything they use is alive.
  void DestroyForms();

  TForm* MainForm() const { return mainForm_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  TExceptionEvent OnException;
  // EAbort is silent; otherwise OnException, or ShowException without a handler.
  void HandleException(TObject* sender, const Exception& e);
  // The standard display: a message box with the message. Logged as an error.
  void ShowException(const Exception& e);
  // Every message is logged; in unattended mode none is shown and a question takes its default button.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  void SetMessageBoxHook(TMessageBoxHook hook) { messageBoxHook_ = std::move(hook); }

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TApplicationRunSlot;
  bool ProcessMessage(MSG& msg);
  int ShowBox(const std::string& text, const std::string& caption, unsigned flags);
  // Back to the state a run starts with.
  void ResetRun();

  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool showMainForm_ = true;
  std::vector<std::function<void()>> atStart_;
  std::string title_;
  TMessageBoxHook messageBoxHook_;
};

// The program's application object, made on first use and never destroyed.
TApplication& Application();

// Inside a catch block: hands the exception being handled to the application, turning exceptions
// that are not the program's own into an Exception with their text.
void HandleCurrentException(TObject* sender);

// Registers the streamable classes of this layer.
void RegisterUiClasses();

}  // namespace tav
