#pragma once

#include <QWidget>

class QLabel;

// The hidden window that holds the three ring pictures for the measurement screen.
class frmpicture final : public QWidget
{
    Q_OBJECT
public:
    explicit frmpicture(QWidget *parent = nullptr);

    QLabel *Picture1 = nullptr; // red ring
    QLabel *Picture2 = nullptr; // blue ring
    QLabel *Picture3 = nullptr; // green ring
};
