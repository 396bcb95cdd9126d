-- Rows that both host databases get beside the demo data: NULL and blank lot values, a NULL
-- log number, decimals that round, and list and lot names made to break a statement that
-- pastes them in.

INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT1, TEXT2) VALUES
    ('QUIRK', 0, '1234', 'Huber'),
    ('O''Hara'' OR 1=1 --', 0, '1234', 'Huber'),
    ('a_c%', NULL, '1234', 'Huber'),
    ('abcX', 0, '1234', 'Huber'),
    ('SELECT', 0, '1234', 'Huber');

INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, LAENGE, DURCH, KLST,
                  ID_RINDENKENNZ, ID_WALDORT) VALUES
    (100, 'QUIRK', '2024-05-02', 'X ', NULL, 'fi', 'b', 7.25, 30, 2, 1, 1),
    (101, 'QUIRK', '2024-05-02', NULL, 7, 'fi', 'b', 0.05, 31, 3, 1, 1),
    (102, 'QUIRK', '2024-05-02', '', 3, 'fi', 'b', 12.35, 32, 3, 1, 1),
    (901, 'O''Hara'' OR 1=1 --', '2024-05-02', '%', 901, 'fi', 'b', 4, 30, NULL, 1, 1),
    (902, 'O''Hara'' OR 1=1 --', '2024-05-02', '_', 902, 'fi', 'b', 4, 30, NULL, 1, 1),
    (903, 'O''Hara'' OR 1=1 --', '2024-05-02', ''' OR ''1''=''1', 903, 'fi', 'b', 4, 30, NULL, 1, 1),
    (904, 'O''Hara'' OR 1=1 --', '2024-05-02', '--', 904, 'fi', 'b', 4, 30, NULL, 1, 1),
    (906, 'O''Hara'' OR 1=1 --', '2024-05-02', '7', 906, 'fi', 'b', 4, 30, NULL, 1, 1),
    (911, 'a_c%', '2024-05-02', 'x', 911, 'fi', 'b', 4, 30, NULL, 1, 1),
    (912, 'abcX', '2024-05-02', 'x', 912, 'fi', 'b', 4, 30, NULL, 1, 1),
    (921, 'SELECT', '2024-05-02', '1; DELETE FROM LOGS', 921, 'fi', 'b', 4, 30, NULL, 1, 1);

INSERT INTO LOGS_RECH (ID_LOG, A1_KUNDE, MWST) VALUES
    (100, 1, 7), (101, 2, NULL), (102, 3, 19.25), (901, 1, 7), (902, 1, 7), (903, 1, 7),
    (904, 1, 7), (906, 1, 7), (911, 1, 7), (912, 1, 7), (921, 1, 7);
