#include "plugin/ui/gtk/gtk_front_end.h"

#include <gtk/gtk.h>
#include <gtksourceview/gtksource.h>

#include <string>

#include "plugin/error_box.h"
#include "plugin/polish_texts.h"
#include "plugin/text_lines.h"
#include "plugin/ui/gtk/sql_style_scheme.h"
#include "plugin/ui/text_boundary.h"

namespace veltra::plugin::ui::gtk {
namespace {

// The designed layout, in pixels.
constexpr int kClientWidth = 506;
constexpr int kClientHeight = 340;
constexpr int kDesignedLeft = 151;
constexpr int kDesignedTop = 219;
constexpr int kPanelBorder = 5;
constexpr int kButtonPanelHeight = 41;
constexpr int kStatusBarHeight = 19;
constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 22;
constexpr int kButtonTop = 10;
constexpr int kGetLeft = 9;
constexpr int kExecuteLeft = 97;
constexpr int kCloseLeft = 408;  // kept this far from the right edge when the window resizes

constexpr const char* kCss = R"(
#allsql-dialog, #allsql-dialog * { font-family: "MS Sans Serif", sans-serif; font-size: 8pt; }
#allsql-dialog button { min-height: 0; min-width: 0; padding: 0 2px; }
#allsql-dialog button label { font-weight: bold; }
#SynEdit1, #SynEdit1 * { font-family: "Courier New", monospace; font-size: 10pt; }
#StatusBar1 { padding: 0 4px; border-top: 1px solid #A0A0A0; }
)";

std::string ToGtk(std::string_view bytes) { return Utf8FromWindows1250(bytes); }

class GtkView final : public DialogView {
 public:
  GtkView(GtkWidget* window, GtkSourceBuffer* buffer, GtkWidget* status, GtkWidget* execute)
      : window_(window), buffer_(buffer), status_(status), execute_(execute) {}

  void SetStatus(std::string_view text) override {
    gtk_label_set_text(GTK_LABEL(status_), ToGtk(text).c_str());
  }
  void SetEditorText(std::string_view text) override {
    std::string utf8 = ToGtk(Joined(SplitLines(text)));
    gtk_source_buffer_begin_not_undoable_action(buffer_);
    gtk_text_buffer_set_text(GTK_TEXT_BUFFER(buffer_), utf8.c_str(),
                             static_cast<gint>(utf8.size()));
    gtk_source_buffer_end_not_undoable_action(buffer_);
  }
  std::string EditorText() const override {
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(GTK_TEXT_BUFFER(buffer_), &start, &end);
    gchar* utf8 = gtk_text_buffer_get_text(GTK_TEXT_BUFFER(buffer_), &start, &end, FALSE);
    std::string bytes = Windows1250FromUtf8(utf8);
    g_free(utf8);
    return JoinLines(SplitLines(bytes));
  }
  void AddEditorLine(std::string_view line) override {
    GtkTextBuffer* buffer = GTK_TEXT_BUFFER(buffer_);
    std::string utf8;
    if (gtk_text_buffer_get_char_count(buffer) > 0) utf8 += '\n';
    utf8 += ToGtk(Joined(SplitLines(line)));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_source_buffer_begin_not_undoable_action(buffer_);
    gtk_text_buffer_insert(buffer, &end, utf8.c_str(), static_cast<gint>(utf8.size()));
    gtk_source_buffer_end_not_undoable_action(buffer_);
  }
  void SetExecuteEnabled(bool enabled) override { gtk_widget_set_sensitive(execute_, enabled); }
  void Close() override {
    closed_ = true;
    if (loop_ != nullptr) g_main_loop_quit(loop_);
  }

  void ShowError(const std::string& text) {
    GtkWidget* box = gtk_message_dialog_new(
        GTK_WINDOW(window_),
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", ToGtk(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), ApplicationTitle().c_str());
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
  }

  void set_loop(GMainLoop* loop) { loop_ = loop; }
  bool closed() const { return closed_; }

 private:
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) text += '\n';
      text += lines[i];
    }
    return text;
  }

  GtkWidget* window_;
  GtkSourceBuffer* buffer_;
  GtkWidget* status_;
  GtkWidget* execute_;
  GMainLoop* loop_ = nullptr;
  bool closed_ = false;
};

GtkWidget* NewButton(std::string_view caption, const char* name) {
  GtkWidget* button = gtk_button_new_with_label(ToGtk(caption).c_str());
  gtk_widget_set_name(button, name);
  gtk_widget_set_size_request(button, kButtonWidth, kButtonHeight);
  gtk_widget_set_valign(button, GTK_ALIGN_START);
  gtk_widget_set_margin_top(button, kButtonTop);
  gtk_widget_set_can_focus(button, TRUE);
  return button;
}

// The dialog's style sheet, added to the screen once per process (the widgets carry the names it
// selects, so the host's own windows are not touched).
void AddStyleSheetOnce(GdkScreen* screen) {
  static bool added = false;
  if (added) return;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  added = true;
}

class GtkFrontEnd final : public DialogFrontEnd {
 public:
  GtkFrontEnd() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_widget_set_name(window_, "allsql-dialog");
    gtk_window_set_title(GTK_WINDOW(window_), ToGtk(texts::kCaption).c_str());
    gtk_window_set_default_size(GTK_WINDOW(window_), kClientWidth, kClientHeight);
    gtk_window_move(GTK_WINDOW(window_), kDesignedLeft, kDesignedTop);
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);

    AddStyleSheetOnce(gtk_widget_get_screen(window_));

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), column);

    // Panel2 with the editor, filling what the bottom panels leave.
    buffer_ = gtk_source_buffer_new(nullptr);
    GtkSourceLanguage* sql =
        gtk_source_language_manager_get_language(gtk_source_language_manager_get_default(), "sql");
    if (sql != nullptr) gtk_source_buffer_set_language(buffer_, sql);
    if (GtkSourceStyleScheme* scheme = SqlStyleScheme()) {
      gtk_source_buffer_set_style_scheme(buffer_, scheme);
    }
    gtk_source_buffer_set_highlight_syntax(buffer_, TRUE);
    GtkWidget* editor = gtk_source_view_new_with_buffer(buffer_);
    gtk_widget_set_name(editor, kEditorName);
    GtkSourceView* source = GTK_SOURCE_VIEW(editor);
    gtk_source_view_set_show_line_numbers(source, TRUE);
    gtk_source_view_set_highlight_current_line(source, TRUE);
    gtk_source_view_set_insert_spaces_instead_of_tabs(source, TRUE);
    gtk_source_view_set_auto_indent(source, TRUE);
    gtk_source_view_set_smart_backspace(source, TRUE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(editor), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_editable(GTK_TEXT_VIEW(editor), TRUE);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), editor);
    gtk_container_set_border_width(GTK_CONTAINER(scroller), 0);
    GtkWidget* panel2 = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_name(panel2, "Panel2");
    gtk_container_set_border_width(GTK_CONTAINER(panel2), kPanelBorder);
    gtk_box_pack_start(GTK_BOX(panel2), scroller, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(column), panel2, TRUE, TRUE, 0);

    // Panel1, the button panel; an event box so it sees double clicks.
    GtkWidget* panel1 = gtk_event_box_new();
    gtk_widget_set_name(panel1, kButtonPanelName);
    gtk_widget_add_events(panel1, GDK_BUTTON_PRESS_MASK);
    gtk_widget_set_size_request(panel1, -1, kButtonPanelHeight);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_container_add(GTK_CONTAINER(panel1), row);
    get_ = NewButton(texts::kGetCaption, kGetButtonName);
    execute_ = NewButton(texts::kExecuteCaption, kExecuteButtonName);
    close_ = NewButton(texts::kCloseCaption, kCloseButtonName);
    gtk_widget_set_margin_start(get_, kGetLeft);
    gtk_widget_set_margin_start(execute_, kExecuteLeft - kGetLeft - kButtonWidth);
    gtk_widget_set_margin_end(close_, kClientWidth - kCloseLeft - kButtonWidth);
    gtk_box_pack_start(GTK_BOX(row), get_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), execute_, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(row), close_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), panel1, FALSE, FALSE, 0);

    // StatusBar1: one simple text; an event box so it sees double clicks.
    GtkWidget* status_box = gtk_event_box_new();
    gtk_widget_add_events(status_box, GDK_BUTTON_PRESS_MASK);
    gtk_widget_set_size_request(status_box, -1, kStatusBarHeight);
    status_ = gtk_label_new("");
    gtk_widget_set_name(status_, kStatusBarName);
    gtk_label_set_xalign(GTK_LABEL(status_), 0.0f);
    gtk_label_set_ellipsize(GTK_LABEL(status_), PANGO_ELLIPSIZE_END);
    gtk_container_add(GTK_CONTAINER(status_box), status_);
    gtk_box_pack_start(GTK_BOX(column), status_box, FALSE, FALSE, 0);

    view_ = std::make_unique<GtkView>(window_, buffer_, status_, execute_);

    g_signal_connect(get_, "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                       static_cast<GtkFrontEnd*>(self)->Dispatch(&DialogEvents::btnGETClick);
                     }),
                     this);
    g_signal_connect(execute_, "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                       static_cast<GtkFrontEnd*>(self)->Dispatch(&DialogEvents::btnExecuteClick);
                     }),
                     this);
    g_signal_connect(close_, "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                       static_cast<GtkFrontEnd*>(self)->Dispatch(&DialogEvents::btnOKClick);
                     }),
                     this);
    g_signal_connect(panel1, "button-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, gpointer self) -> gboolean {
                       if (event->type != GDK_2BUTTON_PRESS) return FALSE;
                       static_cast<GtkFrontEnd*>(self)->Dispatch(&DialogEvents::Panel1DblClick);
                       return TRUE;
                     }),
                     this);
    g_signal_connect(status_box, "button-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, gpointer self) -> gboolean {
                       if (event->type != GDK_2BUTTON_PRESS) return FALSE;
                       static_cast<GtkFrontEnd*>(self)->Dispatch(&DialogEvents::StatusBar1DblClick);
                       return TRUE;
                     }),
                     this);
    // The close box ends the dialog; the window itself is destroyed by the front end.
    g_signal_connect(window_, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                       static_cast<GtkFrontEnd*>(self)->view_->Close();
                       return TRUE;
                     }),
                     this);
  }

  ~GtkFrontEnd() override {
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    g_object_unref(buffer_);
    // Let the toolkit take the window off the screen before control returns to the host.
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }
  GtkFrontEnd(const GtkFrontEnd&) = delete;
  GtkFrontEnd& operator=(const GtkFrontEnd&) = delete;

  DialogView& View() override { return *view_; }

  void RunModal(DialogEvents& events) override {
    events_ = &events;
    gtk_widget_show_all(window_);
    Dispatch(&DialogEvents::FormShow);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    view_->set_loop(loop);
    if (!view_->closed()) g_main_loop_run(loop);
    view_->set_loop(nullptr);
    g_main_loop_unref(loop);
    gtk_widget_hide(window_);
    events_ = nullptr;
  }

 private:
  void Dispatch(void (DialogEvents::*handler)()) {
    if (events_ == nullptr) return;
    RunHandler([&] { (events_->*handler)(); },
               [&](const std::string& text) { view_->ShowError(text); });
  }

  GtkWidget* window_ = nullptr;
  GtkSourceBuffer* buffer_ = nullptr;
  GtkWidget* get_ = nullptr;
  GtkWidget* execute_ = nullptr;
  GtkWidget* close_ = nullptr;
  GtkWidget* status_ = nullptr;
  std::unique_ptr<GtkView> view_;
  DialogEvents* events_ = nullptr;
};

}  // namespace

bool GtkAvailable() {
  static const bool available = gtk_init_check(nullptr, nullptr) != FALSE;
  return available;
}

std::unique_ptr<DialogFrontEnd> NewGtkFrontEnd() { return std::make_unique<GtkFrontEnd>(); }

}  // namespace veltra::plugin::ui::gtk
