#include "app/form_lumbrake.h"

#include "platform/shown_path.h"

TFormLumbrake* FormLumbrake = nullptr;
bool PrimeraActivacion = true;

namespace {

// The window's form: a small dialog centred on the screen with only a close box.
gui::FormLayout Layout() {
    gui::FormLayout l;
    l.caption = u"Kestrova";
    l.client_width = 410;
    l.client_height = 96;
    l.centred = true;
    l.left = 597;
    l.top = 273;
    l.minimize_box = l.maximize_box = l.resizable = false;
    l.background = gui::FormLayout::Colour::ButtonFace;
    l.font_name = u"MS Sans Serif";
    l.font_height = -11;
    l.label_left = 8;
    l.label_top = 16;
    l.label_width = 3;
    l.label_height = 13;
    l.bar_left = 8;
    l.bar_top = 40;
    l.bar_width = 401;
    l.bar_height = 16;
    l.button_left = 304;
    l.button_top = 64;
    l.button_width = 97;
    l.button_height = 25;
    l.button_caption = u"Cancel";
    l.label_name = u"Status";
    l.bar_name = u"Progress";
    l.timer_interval_ms = 100;
    return l;
}

void WakeWindow() {
    gui::application().Wake();
}

} // namespace

TFormLumbrake::TFormLumbrake(gui::Application& app) {
    Window = app.CreateForm(Layout(), this);
    on_finished = WakeWindow;
}

TFormLumbrake::~TFormLumbrake() {
    EndJob();
}

void TFormLumbrake::EndJob() {
    if (!Tarea) return;
    Monitor.cancelado.store(true, std::memory_order_relaxed);
    delete Tarea; // waits for the end of the thread
    Tarea = nullptr;
}

bool TFormLumbrake::LeeParametros(DString& e) {
    if (!ReadCommandLine(command_line_, e)) return false;
    DirDestino = command_line_.dst;
    return true;
}

// The job's first text shows before the drive root is looked up: on Linux that asks the
// disc, which may be slow to answer.
bool TFormLumbrake::Job(void* arg, DString* error, TMonitorProc* monitor) {
    auto* form = static_cast<TFormLumbrake*>(static_cast<CopyState*>(arg));
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        form->Monitor.paso = "Preparing to copy files...";
    }
    const DString root = SourceRoot(form->command_line_);
    form->DirOrigen = root + form->command_line_.drm;
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        form->shown_root_ = platform::shown_path(root.c_str()).c_str();
    }
    return TareaCopia(arg, error, monitor);
}

void TFormLumbrake::FormActivate() {
    if (!PrimeraActivacion) return;
    PrimeraActivacion = false;
    DString e;
    if (!LeeParametros(e)) {
        outcome = kRunBadParameters;
        MuestraMensaje(DString("Error parameters: ") + "err=" + e, "Lumbrake", gui::kMbOk);
        Window->Close();
        return;
    }
    Tarea = new TTareaProcesosLentos;
    Tarea->funcion = Job;
    Tarea->arg = static_cast<CopyState*>(this);
    Tarea->monitor = &Monitor;
    Tarea->Resume();
}

void TFormLumbrake::ShowProgress() {
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        if (!root_given_ && !shown_root_.is_empty()) {
            Window->SetPathRoot(shown_root_.to_unicode_string());
            root_given_ = true;
        }
        if (!Monitor.paso.is_empty() || !Monitor.detalle.is_empty())
            Window->SetLabel(Monitor.Texto(true).to_unicode_string());
    }
    if (Monitor.hecho.load(std::memory_order_relaxed) >= 0) {
        Window->SetBarVisible(true);
        Window->SetButtonVisible(true);
        Window->SetBarPosition(static_cast<int>(Monitor.Porcentaje() * 10000 * 0.01));
        Window->SetBarMax(10000);
    }
}

void TFormLumbrake::Timer1Timer() {
    // Read first, so that everything the job did before it ended is in this tick's frame.
    const bool terminado = Terminado.load(std::memory_order_acquire);
    ShowProgress();
    // A job that threw never sets Terminado. A terminal says what was thrown and closes; a
    // window stays open until it is closed, and after a close request its end closes it.
    if (!terminado) {
        if (!Tarea || JobRunning() || Terminado.load(std::memory_order_acquire)) return;
        outcome = kRunFailed;
        const bool told =
            gui::application().Note((DString("Error: ") + Tarea->error).to_unicode_string());
        if (!told && !close_requested_) return;
    }
    Window->SetTimerEnabled(false);
    // The last frame reaches the screen before a box covers it or the window goes.
    Window->Repaint();
    if (terminado) {
        if (source_missing) NoteMissingSource();
        if (!TextoError.is_empty()) {
            outcome = kRunFailed;
            MuestraMensaje(TextoError, "Error", gui::kMbIconError);
            TextoError.clear();
        }
    }
    Window->Close();
}

void TFormLumbrake::BotCancelarClick() {
    Monitor.cancelado.store(true, std::memory_order_relaxed);
    Window->SetButtonEnabled(false);
}

bool TFormLumbrake::JobRunning() const {
    return Tarea && !Tarea->fin.load(std::memory_order_acquire);
}

// Closing while the job runs is Cancel: the window stays responsive, shows the Cancel state
// and closes when the job has stopped, instead of freezing while the thread is waited for.
bool TFormLumbrake::OnCloseRequest() {
    if (JobRunning()) {
        close_requested_ = true;
        BotCancelarClick();
        return false;
    }
    EndJob();
    return true;
}

// The parts of the source as the worker found them (the window's thread asks no disc).
void TFormLumbrake::NoteMissingSource() {
    DString root;
    {
        TCriticalSectionOrvEntra guard(MonitorLock());
        root = shown_root_;
    }
    const auto shown = [](const DString& path) {
        return DString(platform::shown_path(path.c_str()).c_str());
    };
    const DString line = "Nothing to copy: " + shown(DirOrigen) +
                         " does not exist (the drive root of /src=, \"" + root +
                         "\", followed by /drm=" + shown(command_line_.drm) + ")";
    gui::application().Note(line.to_unicode_string());
}

int MuestraMensaje(const DString& texto, const DString& titulo, unsigned tipo) {
    return gui::application().Alert(texto.to_unicode_string(), titulo.to_unicode_string(), tipo);
}

int RunApplication() {
    gui::Application& app = gui::application();
    int outcome = kRunFailed; // unless the message loop ends normally
    try {
        app.Initialize();
        app.SetTitle(u"LumbrakeCD");
        FormLumbrake = new TFormLumbrake(app);
        app.Run();
        outcome = FormLumbrake->outcome;
    } catch (...) {
        app.ShowException(gui::current_exception());
    }
    delete FormLumbrake;
    FormLumbrake = nullptr;
    return outcome;
}
