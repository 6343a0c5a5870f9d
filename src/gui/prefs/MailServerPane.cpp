#include "prefs/MailServerPane.h"

#include "app/transformers/LXValueIsEqualToRef.h"
#include "connections/ConnectionList.h"
#include "platform/AlertPresenter.h"
#include "prefs/ConnectionFieldBinding.h"
#include "prefs/ConnectionTableModel.h"
#include "prefs/ConnectionTesterSheet.h"
#include "util/UndoManager.h"
#include "window/Controls.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

const QString kDescription = u"mailServerDescription"_s;
const QString kServer = u"mailServerName"_s;
const QString kUseCustomPort = u"useCustomPort"_s;
const QString kCustomPort = u"customPortUsed"_s;
const QString kConnectionType = u"connectionType"_s;
const QString kAuthentication = u"authenticationType"_s;
const QString kUsername = u"username"_s;
const QString kPassword = u"password"_s;

// The port choices of useCustomPort, in the order the editor shows them.
constexpr qint32 kPort25 = 0;
constexpr qint32 kPortCustom = 1;
constexpr qint32 kPort465 = 2;

} // namespace

MailServerPane::MailServerPane(Services services, QWidget *parent)
    : QWidget(parent),
      m_services(std::move(services)),
      m_valueIs1(std::make_shared<LXValueIsEqualToRef>(1))
{
    setObjectName(u"mailServerPane"_s);
    setAccessibleName(u"Mail Server"_s);
    // The additions and deletions made here are undone from here.
    m_services.connections.setUndoManager(&m_services.undo);

    buildTable();
    QWidget *editor = buildEditor();

    m_test = namedControl<QPushButton>(u"testButton"_s, u"Test Connection\u2026"_s, this);
    m_test->setText(u"&Test Connection\u2026"_s);
    m_test->setToolTip(u"Check the selected connection against its server"_s);
    connect(m_test, &QPushButton::clicked, this, &MailServerPane::testSelectedConnection);

    auto *tableButtons = new QHBoxLayout;
    tableButtons->addWidget(m_add);
    tableButtons->addWidget(m_delete);
    tableButtons->addStretch();
    tableButtons->addWidget(m_lock);

    auto *testRow = new QHBoxLayout;
    testRow->addStretch();
    testRow->addWidget(m_test);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(tableButtons);
    layout->addWidget(editor);
    layout->addLayout(testRow);

    // Undo and Redo named after what they undo, for a menu; the keys are the
    // preferences window's, on the same stack.
    m_undoAction = new QAction(u"Undo"_s, this);
    m_undoAction->setObjectName(u"undoConnectionAction"_s);
    connect(m_undoAction, &QAction::triggered, this, [this] { m_services.undo.undo(); });
    m_redoAction = new QAction(u"Redo"_s, this);
    m_redoAction->setObjectName(u"redoConnectionAction"_s);
    connect(m_redoAction, &QAction::triggered, this, [this] { m_services.undo.redo(); });
    addAction(m_undoAction);
    addAction(m_redoAction);
    connect(&m_services.undo, &UndoManager::changed, this, &MailServerPane::updateUndoActions);

    ConnectionList &connections = m_services.connections;
    connect(&connections, &ConnectionList::selectionIndexesChanged, this, &MailServerPane::showSelection);
    connect(&connections, &ConnectionList::unlockedConnectionChanged, this,
            &MailServerPane::showSelectedConnection);
    connect(&connections, &ConnectionList::connectionEdited, this, &MailServerPane::showSelectedConnection);
    connect(&connections, &ConnectionList::connectionArrayChanged, this, &MailServerPane::showSelection);
    connect(&connections, &ConnectionList::storeFailed, this, [this](const QString &message) {
        Alert alert;
        alert.messageText = u"The mail server connections could not be saved."_s;
        alert.informativeText = message;
        alert.buttons = {u"OK"_s};
        m_services.alerts.present(alert, [](int) {});
    });

    // Tab goes through the panel as it reads: the table and its buttons,
    // the editor top to bottom, then the test.
    const QList<QWidget *> order = {m_table,      m_add,         m_delete,  m_lock,     m_description,
                                    m_server,     m_port25,      m_portCustom, m_customPort, m_port465,
                                    m_security,   m_authenticate, m_user,    m_password, m_test};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    showSelection();
    updateUndoActions();
}

MailServerPane::~MailServerPane()
{
    // The sheet lives on the window and shows the tester this panel owns.
    delete m_testerSheet.data();
}

void MailServerPane::buildTable()
{
    m_model = new ConnectionTableModel(m_services.connections, this);
    m_table = namedControl<QTableView>(u"connectionTable"_s, u"Connections"_s, this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(ConnectionTableModel::DescriptionColumn, 200);
    m_table->setMinimumHeight(120);
    // While rows come and go the table moves its selection by itself; the
    // list says what is selected afterwards.
    const auto holdSelection = [this] { m_showingSelection = true; };
    const auto releaseSelection = [this] { m_showingSelection = false; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, holdSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, releaseSelection);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, holdSelection);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, releaseSelection);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, holdSelection);
    connect(m_model, &QAbstractItemModel::modelReset, this, releaseSelection);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_showingSelection)
            return;
        QList<qsizetype> rows;
        for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        m_services.connections.setSelectionIndexes(rows);
    });

    m_add = namedControl<QPushButton>(u"addConnectionButton"_s, u"Add Connection"_s, this);
    m_add->setText(u"&Add"_s);
    m_add->setIcon(QIcon::fromTheme(u"list-add"_s));
    m_add->setToolTip(u"Add Connection"_s);
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_services.connections.addNewConnection();
        // The new connection is open for editing: its name comes first.
        m_description->setFocus(Qt::OtherFocusReason);
        m_description->selectAll();
    });

    m_delete = namedControl<QPushButton>(u"deleteConnectionButton"_s, u"Delete Connection"_s, this);
    m_delete->setText(u"&Delete"_s);
    m_delete->setIcon(QIcon::fromTheme(u"list-remove"_s));
    m_delete->setToolTip(u"Delete Connection"_s);
    connect(m_delete, &QPushButton::clicked, this,
            [this] { m_services.connections.deleteSelectedConnection(m_services.alerts); });

    m_lock = namedControl<QPushButton>(u"lockButton"_s, u"Unlock"_s, this);
    connect(m_lock, &QPushButton::clicked, this, [this] {
        m_services.connections.setUnlockedConnection(!m_services.connections.unlockedConnection());
    });
}

QWidget *MailServerPane::buildEditor()
{
    auto *box = new QGroupBox(u"Connection"_s, this);
    box->setObjectName(u"connectionEditor"_s);
    m_editor = box;

    m_description = namedControl<QLineEdit>(u"descriptionField"_s, u"Description"_s, box);
    m_server = namedControl<QLineEdit>(u"serverField"_s, u"Server"_s, box);
    m_server->setPlaceholderText(u"smtp.example.org"_s);

    m_port25 = namedControl<QRadioButton>(u"port25Button"_s, u"Port 25"_s, box);
    m_port25->setText(u"25"_s);
    m_portCustom = namedControl<QRadioButton>(u"portCustomButton"_s, u"Custom port"_s, box);
    m_portCustom->setText(u"Custom:"_s);
    m_customPort = namedControl<QSpinBox>(u"customPortField"_s, u"Custom port number"_s, box);
    m_customPort->setRange(0, 65535);
    m_customPort->setMinimumWidth(90);
    m_port465 = namedControl<QRadioButton>(u"port465Button"_s, u"Port 465"_s, box);
    m_port465->setText(u"465"_s);
    auto *portGroup = new QButtonGroup(box);
    portGroup->addButton(m_port25);
    portGroup->addButton(m_portCustom);
    portGroup->addButton(m_port465);
    auto *ports = new QWidget(box);
    ports->setObjectName(u"portChoice"_s);
    ports->setAccessibleName(u"Port"_s);
    auto *portRow = new QHBoxLayout(ports);
    portRow->setContentsMargins(0, 0, 0, 0);
    portRow->addWidget(m_port25);
    portRow->addWidget(m_portCustom);
    portRow->addWidget(m_customPort);
    portRow->addWidget(m_port465);
    portRow->addStretch();

    m_security = namedControl<QComboBox>(u"securityPopUp"_s, u"Encryption"_s, box);
    // In the order of connectionType: 0, 1, 2.
    m_security->addItems({u"PLAIN"_s, u"STARTTLS"_s, u"TLS"_s});

    m_authenticate = namedControl<QCheckBox>(u"authenticationCheckBox"_s,
                                             u"Authenticate with user name and password"_s, box);
    m_authenticate->setText(u"Authenticate with user name and password"_s);
    m_user = namedControl<QLineEdit>(u"userField"_s, u"User name"_s, box);
    m_password = namedControl<QLineEdit>(u"passwordField"_s, u"Password"_s, box);
    m_password->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(buddyLabel(u"D&escription:"_s, m_description, box), m_description);
    form->addRow(buddyLabel(u"&Server:"_s, m_server, box), m_server);
    form->addRow(buddyLabel(u"&Port:"_s, m_port25, box), ports);
    form->addRow(buddyLabel(u"E&ncryption:"_s, m_security, box), m_security);
    form->addRow(QString(), m_authenticate);
    form->addRow(buddyLabel(u"&User name:"_s, m_user, box), m_user);
    form->addRow(buddyLabel(u"Pass&word:"_s, m_password, box), m_password);

    bind(m_description, kDescription);
    bind(m_server, kServer);
    bind(m_port25, kUseCustomPort, std::make_shared<LXValueIsEqualToRef>(kPort25));
    bind(m_portCustom, kUseCustomPort, std::make_shared<LXValueIsEqualToRef>(kPortCustom));
    bind(m_port465, kUseCustomPort, std::make_shared<LXValueIsEqualToRef>(kPort465));
    bind(m_customPort, kCustomPort);
    bind(m_security, kConnectionType);
    // Ticked for authenticationType 1; unticking leaves no value, which
    // reads as no authentication.
    bind(m_authenticate, kAuthentication, m_valueIs1);
    bind(m_user, kUsername);
    bind(m_password, kPassword);
    return box;
}

void MailServerPane::bind(QWidget *control, const QString &key, std::shared_ptr<const ValueTransformer> transformer)
{
    m_bindings.push_back(std::make_unique<ConnectionFieldBinding>(control, key, std::move(transformer)));
    const ConnectionFieldBinding *binding = m_bindings.back().get();
    const auto finished = [this, binding] { apply(*binding); };
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        connect(edit, &QLineEdit::editingFinished, this, finished);
    else if (auto *spin = qobject_cast<QSpinBox *>(control))
        connect(spin, &QSpinBox::editingFinished, this, finished);
    else if (auto *popUp = qobject_cast<QComboBox *>(control))
        connect(popUp, &QComboBox::activated, this, finished);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        connect(button, &QAbstractButton::clicked, this, finished);
}

void MailServerPane::apply(const ConnectionFieldBinding &binding)
{
    ConnectionList &connections = m_services.connections;
    if (!connections.canEditSelectedConnection())
        return;
    const std::optional<Dict> selected = connections.selectedConnection();
    if (!selected)
        return;
    if (const std::optional<Value> change = binding.change(*selected))
        connections.editConnectionField(connections.selectedIndex(), binding.key(), *change);
}

void MailServerPane::showSelection()
{
    // The list chose the selection (an add, a delete, an undo): the table
    // shows it without telling the list again.
    m_showingSelection = true;
    QItemSelection selection;
    for (const qsizetype row : m_services.connections.selectionIndexes())
        selection.select(m_model->index(int(row), 0),
                         m_model->index(int(row), ConnectionTableModel::ColumnCount - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (const qsizetype row = m_services.connections.selectedIndex(); row >= 0) {
        m_table->selectionModel()->setCurrentIndex(m_model->index(int(row), 0), QItemSelectionModel::NoUpdate);
        m_table->scrollTo(m_model->index(int(row), 0));
    }
    m_showingSelection = false;
    showSelectedConnection();
}

void MailServerPane::showSelectedConnection()
{
    const ConnectionList &connections = m_services.connections;
    const std::optional<Dict> selected = connections.selectedConnection();
    for (const auto &binding : m_bindings)
        binding->show(selected);

    const bool chosen = selected.has_value();
    const bool editable = connections.canEditSelectedConnection();
    const auto on = [this, &selected](const QString &key) {
        return selected && m_valueIs1->transformedValue(Value(selected->intValue(key))).toBool();
    };
    for (QWidget *field : {static_cast<QWidget *>(m_description), static_cast<QWidget *>(m_server),
                           static_cast<QWidget *>(m_port25), static_cast<QWidget *>(m_portCustom),
                           static_cast<QWidget *>(m_port465), static_cast<QWidget *>(m_security),
                           static_cast<QWidget *>(m_authenticate)})
        field->setEnabled(editable);
    m_customPort->setEnabled(editable && on(kUseCustomPort));
    m_user->setEnabled(editable && on(kAuthentication));
    m_password->setEnabled(editable && on(kAuthentication));

    m_delete->setEnabled(chosen);
    m_test->setEnabled(chosen);
    m_lock->setEnabled(chosen);
    const QString lockLabel = editable ? u"Lock"_s : u"Unlock"_s;
    m_lock->setText(lockLabel);
    m_lock->setAccessibleName(lockLabel);
    m_lock->setIcon(QIcon::fromTheme(editable ? u"changes-allow"_s : u"changes-prevent"_s));
    m_lock->setToolTip(editable ? u"Lock the connection against changes"_s
                                : u"Unlock the connection to change it"_s);
}

void MailServerPane::updateUndoActions()
{
    const UndoManager &undo = m_services.undo;
    m_undoAction->setEnabled(undo.canUndo());
    m_undoAction->setText(undo.undoActionName().isEmpty() ? u"Undo"_s : u"Undo "_s + undo.undoActionName());
    m_redoAction->setEnabled(undo.canRedo());
    m_redoAction->setText(undo.redoActionName().isEmpty() ? u"Redo"_s : u"Redo "_s + undo.redoActionName());
}

void MailServerPane::testSelectedConnection()
{
    ConnectionList &connections = m_services.connections;
    const qsizetype index = connections.selectedIndex();
    if (index < 0)
        return;
    if (!m_tester) {
        m_tester = std::make_unique<LXMailConnectionTester>(m_services.accountCheck);
        m_testerSheet = new ConnectionTesterSheet(*m_tester, window());
        connect(m_tester.get(), &LXMailConnectionTester::sheetRequested, m_testerSheet.data(),
                &ConnectionTesterSheet::open);
    }
    connections.readPassword(index);
    if (const std::optional<Dict> selected = connections.selectedConnection()) {
        m_tester->SetConnection(*selected);
        m_tester->runAttachedToWin(window());
    }
}

} // namespace quillcast::gui
