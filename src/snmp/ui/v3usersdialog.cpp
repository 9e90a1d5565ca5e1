#include "v3usersdialog.h"

#include "common/core/messagepresenter.h"
#include "common/widgets/controlnames.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/agent/v3userform.h"
#include "snmp/usm/usmkeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *passphraseBox(QWidget *parent, const QString &name, const QString &label)
{
    auto *box = new QLineEdit(parent);
    box->setEchoMode(QLineEdit::Password);
    nameControl(box, name, label);
    return box;
}

} // namespace

V3UsersDialog::V3UsersDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                             QWidget *parent)
    : QDialog(parent), m_agents(agents), m_index(index), m_messages(messages)
{
    nameControl(this, QStringLiteral("dlgV3Users"), QStringLiteral("SNMPv3 Users"));
    setWindowTitle(QStringLiteral("SNMPv3 Users of Agent %1").arg(index + 1));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    lblEngineId = new QLabel(
        QStringLiteral("Engine ID: ") + agents.snmpAgent(index).usm().engineId().toHex(), this);
    lblEngineId->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nameControl(lblEngineId, QStringLiteral("lblEngineId"), QStringLiteral("Engine ID"));
    layout->addWidget(lblEngineId);
    lstUsers = new QListWidget(this);
    nameControl(lstUsers, QStringLiteral("lstUsers"), QStringLiteral("Users"));
    layout->addWidget(lstUsers);
    cmdRemove = new QPushButton(QStringLiteral("Remove"), this);
    nameControl(cmdRemove, QStringLiteral("cmdRemove"), cmdRemove->text());
    layout->addWidget(cmdRemove);

    auto *form = new QFormLayout;
    txtName = new QLineEdit(this);
    nameControl(txtName, QStringLiteral("txtName"), QStringLiteral("User name"));
    form->addRow(QStringLiteral("User name:"), txtName);
    cboLevel = new QComboBox(this);
    cboLevel->addItems({"noAuthNoPriv", "authNoPriv", "authPriv"});
    nameControl(cboLevel, QStringLiteral("cboLevel"), QStringLiteral("Security level"));
    form->addRow(QStringLiteral("Security level:"), cboLevel);
    cboAuth = new QComboBox(this);
    cboAuth->addItems(authProtocolNames());
    cboAuth->setCurrentText(QStringLiteral("SHA-256"));
    nameControl(cboAuth, QStringLiteral("cboAuth"), QStringLiteral("Authentication protocol"));
    form->addRow(QStringLiteral("Authentication:"), cboAuth);
    txtAuthPass = passphraseBox(this, QStringLiteral("txtAuthPass"),
                                QStringLiteral("Authentication passphrase"));
    form->addRow(QStringLiteral("Passphrase:"), txtAuthPass);
    cboPriv = new QComboBox(this);
    cboPriv->addItems(privProtocolNames());
    cboPriv->setCurrentText(QStringLiteral("AES"));
    nameControl(cboPriv, QStringLiteral("cboPriv"), QStringLiteral("Privacy protocol"));
    form->addRow(QStringLiteral("Privacy:"), cboPriv);
    txtPrivPass =
        passphraseBox(this, QStringLiteral("txtPrivPass"), QStringLiteral("Privacy passphrase"));
    form->addRow(QStringLiteral("Passphrase:"), txtPrivPass);
    chkMayWrite = new QCheckBox(QStringLiteral("May write"), this);
    nameControl(chkMayWrite, QStringLiteral("chkV3MayWrite"), chkMayWrite->text());
    form->addRow(QString(), chkMayWrite);
    layout->addLayout(form);
    cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    nameControl(cmdAdd, QStringLiteral("cmdAdd"), cmdAdd->text());
    layout->addWidget(cmdAdd);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, &V3UsersDialog::addUser);
    connect(cmdRemove, &QPushButton::clicked, this, &V3UsersDialog::removeUser);
    connect(lstUsers, &QListWidget::currentRowChanged, this, &V3UsersDialog::editSelected);
    connect(txtName, &QLineEdit::textChanged, this, &V3UsersDialog::nameAddsOrApplies);
    connect(cboLevel, &QComboBox::currentIndexChanged, this, &V3UsersDialog::enableForLevel);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    enableForLevel();
    showUsers();
}

void V3UsersDialog::addUser()
{
    const V3UserForm form{txtName->text(),         V3UserForm::Level(cboLevel->currentIndex()),
                          cboAuth->currentText(),  txtAuthPass->text(),
                          cboPriv->currentText(),  txtPrivPass->text(),
                          chkMayWrite->isChecked()};
    const Status added = addV3UserFromForm(m_agents, m_index, form);
    if (!added) {
        // Left as typed, to be corrected.
        m_messages.showMessage(added.failure().description);
        return;
    }
    // The passphrases are not kept where they can be read back, nor in freed memory.
    clearPassphrases();
    txtName->clear();
    chkMayWrite->setChecked(false);
    showUsers();
}

void V3UsersDialog::removeUser()
{
    const QListWidgetItem *item = lstUsers->currentItem();
    if (!item)
        return;
    m_agents.removeV3User(m_index, item->data(Qt::UserRole).toByteArray());
    showUsers();
}

void V3UsersDialog::showUsers()
{
    lstUsers->clear();
    const UsmEngine *engine = m_agents.snmpAgent(m_index).usmIfAny();
    if (!engine)
        return;
    for (const UsmUser &user : engine->users()) {
        QString text = QString::fromUtf8(user.name);
        if (user.mayWrite)
            text += QStringLiteral(" (may write)");
        auto *item = new QListWidgetItem(text, lstUsers);
        item->setData(Qt::UserRole, user.name);
    }
}

void V3UsersDialog::editSelected()
{
    const UsmEngine *engine = m_agents.snmpAgent(m_index).usmIfAny();
    const int row = lstUsers->currentRow();
    if (!engine || row < 0 || row >= engine->users().size())
        return;
    const V3UserForm form = formOf(engine->users()[row]);
    txtName->setText(form.name);
    cboLevel->setCurrentIndex(form.level);
    if (!form.authProtocol.isEmpty())
        cboAuth->setCurrentText(form.authProtocol);
    if (!form.privProtocol.isEmpty())
        cboPriv->setCurrentText(form.privProtocol);
    chkMayWrite->setChecked(form.mayWrite);
    clearPassphrases();
}

void V3UsersDialog::clearPassphrases()
{
    for (QLineEdit *box : {txtAuthPass, txtPrivPass}) {
        // Setting the text, unlike clearing it, keeps no undo steps; the buffer the box held
        // is then wiped where it stands.
        QString passphrase = box->text();
        box->setText(QString());
        usm::wipe(passphrase);
    }
}

// The same button adds a new name and applies the form to an existing user.
void V3UsersDialog::nameAddsOrApplies()
{
    const bool known = m_agents.v3Users(m_index).contains(txtName->text().trimmed().toUtf8());
    cmdAdd->setText(known ? QStringLiteral("Apply") : QStringLiteral("Add"));
    cmdAdd->setAccessibleName(cmdAdd->text());
}

void V3UsersDialog::enableForLevel()
{
    const int level = cboLevel->currentIndex();
    cboAuth->setEnabled(level >= V3UserForm::AuthNoPriv);
    txtAuthPass->setEnabled(level >= V3UserForm::AuthNoPriv);
    cboPriv->setEnabled(level == V3UserForm::AuthPriv);
    txtPrivPass->setEnabled(level == V3UserForm::AuthPriv);
}
