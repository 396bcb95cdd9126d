-- One list of 100000 logs, whose export runs long enough to lose its connection midway.

INSERT INTO LISTENKOPF (LISTE, GESPERRT, TEXT1, TEXT2) VALUES ('GROSS', 0, '1234', 'Huber');
INSERT INTO WALDORT (ID_WALDORT, WO1, WO3) VALUES (1, 'Revier Nord', '12');
INSERT INTO LOGS (ID_LOG, LISTE, LISTDATUM, LOS, BLNR, HA, GKL, LAENGE, DURCH, ID_WALDORT)
    SELECT g, 'GROSS', '2024-03-15', '1', g, 'fi', 'b', 4.5, 30, 1 FROM generate_series(1, 100000) g;
INSERT INTO LOGS_RECH (ID_LOG) SELECT g FROM generate_series(1, 100000) g;
