#pragma once

#include <QDialog>

class MessagePresenter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class SnmpAgents;

// A row's SNMPv3 users: the list, and a form to add one or, one selected, to change it. The
// checks live in v3userform.
class V3UsersDialog : public QDialog
{
    Q_OBJECT
public:
    V3UsersDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                  QWidget *parent = nullptr);

    QListWidget *lstUsers = nullptr;
    QLineEdit *txtName = nullptr;
    QComboBox *cboLevel = nullptr;
    QComboBox *cboAuth = nullptr;
    QLineEdit *txtAuthPass = nullptr;
    QComboBox *cboPriv = nullptr;
    QLineEdit *txtPrivPass = nullptr;
    QCheckBox *chkMayWrite = nullptr;
    QLabel *lblEngineId = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdRemove = nullptr;

private:
    void addUser();
    void removeUser();
    void showUsers();
    void editSelected();
    void nameAddsOrApplies();
    void enableForLevel();
    void clearPassphrases();

    SnmpAgents &m_agents;
    int m_index;
    MessagePresenter &m_messages;
};
